#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "files/file_system.h"

namespace kelvara {

// clang-format off
enum class FileOp { kLock, kRead, kFacts, kResolveLink, kOpenFolder, kCheckWritable, kCreateTemporary,
                    kWrite, kSync, kClose, kCopyAccess, kReplaceable, kRename, kExchange, kReplace,
                    kRemove, kSyncFolder };
// clang-format on

// In-memory files for tests, named by paths with "/" (or "\\") between folders.
// Every operation is logged, and `failWhen` can make any single one of them
// fail, so each failure path can be walked without touching a disk;
// `outOfMemoryAt` makes one throw as running out of memory does.
class MemoryFileSystem final : public FileSystem {
 public:
  std::map<std::string, std::string> files;
  std::set<std::string> readOnly;
  std::set<std::string> busy;  // pages that another run holds locked
  std::vector<std::pair<FileOp, std::string>> log;
  // Asked before each operation; true makes it fail.
  std::function<bool(FileOp, const std::string&)> failWhen;
  std::optional<FileOp> outOfMemoryAt;
  bool exchanges = true;  // without, backups are copies

  // Whether a temporary file is still there.
  bool HoldsTemporary() const {
    return std::ranges::any_of(
        files, [](const auto& file) { return file.first.find(".kelvara-") != std::string::npos; });
  }

  FileStatus Lock(const std::string& path, std::unique_ptr<FileLock>& lock) override {
    if (Fails(FileOp::kLock, path)) return FileStatus::Failed;
    if (!files.contains(path)) return FileStatus::Missing;
    if (busy.contains(path) || !locked_.insert(path).second) return FileStatus::Busy;
    lock = std::make_unique<Held>(locked_, path);
    return FileStatus::Ok;
  }
  std::unique_ptr<FileBytes> Read(const std::string& path) override {
    const auto file = files.find(path);
    return Fails(FileOp::kRead, path) || file == files.end() ? nullptr : HoldBytes(file->second);
  }
  PageFacts Facts(const std::string& path) override {
    PageFacts facts;
    facts.readOnly = !Fails(FileOp::kFacts, path) && readOnly.contains(path);
    return facts;
  }
  std::string ResolveLink(const std::string& path) override {
    return Fails(FileOp::kResolveLink, path), path;  // logged, never failing
  }
  FileStatus OpenFolderOf(const std::string& path, std::unique_ptr<Folder>& folder,
                          std::string& name) override {
    const std::size_t slash = path.find_last_of("/\\");
    name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    return OpenAt(path.substr(0, slash == std::string::npos ? 0 : slash + 1), folder);
  }
  FileStatus OpenFolder(const std::string& path, std::unique_ptr<Folder>& folder) override {
    return OpenAt(path + "/", folder);
  }
  FileStatus OpenSubfolder(Folder& parent, const std::string& name,
                           std::unique_ptr<Folder>& folder) override {
    return OpenAt(In(parent, name) + "/", folder);
  }
  FileStatus CheckWritable(Folder& folder) override {
    return Fails(FileOp::kCheckWritable, Prefix(folder)) ? FileStatus::NotWritable : FileStatus::Ok;
  }
  std::size_t NameLimit(Folder&) override { return 255; }
  std::unique_ptr<OutputFile> CreateTemporary(Folder& folder, std::string& name,
                                              FileStatus& status) override {
    name = ".kelvara-" + std::to_string(temporaries_++) + ".tmp";
    status =
        Fails(FileOp::kCreateTemporary, In(folder, name)) ? FileStatus::Failed : FileStatus::Ok;
    if (status != FileStatus::Ok) return name.clear(), nullptr;
    files[In(folder, name)].clear();
    return std::make_unique<Output>(*this, In(folder, name));
  }
  FileStatus CopyAccess(Folder&, const std::string&, Folder& toFolder,
                        const std::string& to) override {
    return Fails(FileOp::kCopyAccess, In(toFolder, to)) ? FileStatus::NotPermitted : FileStatus::Ok;
  }
  FileStatus Replaceable(Folder& folder, const std::string& name) override {
    return Fails(FileOp::kReplaceable, In(folder, name)) ? FileStatus::NotAFile : FileStatus::Ok;
  }
  FileStatus Rename(Folder& folder, const std::string& from, Folder& toFolder,
                    const std::string& to) override {
    return Fails(FileOp::kRename, In(toFolder, to)) ? FileStatus::Failed
                                                    : Move(In(folder, from), In(toFolder, to));
  }
  FileStatus Exchange(Folder& folder, const std::string& a, const std::string& b) override {
    if (!exchanges) return FileStatus::Unsupported;
    if (Fails(FileOp::kExchange, In(folder, b))) return FileStatus::Failed;
    files[In(folder, a)].swap(files[In(folder, b)]);
    return FileStatus::Ok;
  }
  FileStatus Replace(Folder& folder, const std::string& replacement,
                     const std::string& target) override {
    return Fails(FileOp::kReplace, In(folder, target))
               ? FileStatus::Failed
               : Move(In(folder, replacement), In(folder, target));
  }
  void Remove(Folder& folder, const std::string& name) override {
    Fails(FileOp::kRemove, In(folder, name));
    files.erase(In(folder, name));
  }
  FileStatus SyncFolder(Folder& folder) override {
    return Fails(FileOp::kSyncFolder, Prefix(folder)) ? FileStatus::Failed : FileStatus::Ok;
  }

 private:
  struct MemoryFolder final : Folder {
    explicit MemoryFolder(std::string at) : prefix(std::move(at)) {}
    std::string prefix;  // "" or the folder's path with a "/" after it
  };
  struct Output final : OutputFile {
    Output(MemoryFileSystem& owner, std::string name) : files(owner), path(name) {}
    FileStatus Write(std::string_view bytes) override {
      if (files.Fails(FileOp::kWrite, path)) return FileStatus::DiskFull;
      files.files[path].append(bytes);
      return FileStatus::Ok;
    }
    FileStatus Sync() override {
      return files.Fails(FileOp::kSync, path) ? FileStatus::Failed : FileStatus::Ok;
    }
    FileStatus Close() override {
      return files.Fails(FileOp::kClose, path) ? FileStatus::Failed : FileStatus::Ok;
    }
    MemoryFileSystem& files;
    std::string path;
  };
  struct Held final : FileLock {
    Held(std::set<std::string>& held, std::string name) : locked(held), path(name) {}
    ~Held() override { locked.erase(path); }
    std::set<std::string>& locked;
    std::string path;
  };

  // Logs the operation and tells whether it is to fail.
  bool Fails(FileOp op, const std::string& path) {
    log.emplace_back(op, path);
    if (outOfMemoryAt == op) throw std::bad_alloc();
    return failWhen && failWhen(op, path);
  }
  static const std::string& Prefix(Folder& folder) {
    return static_cast<MemoryFolder&>(folder).prefix;
  }
  static std::string In(Folder& folder, const std::string& name) { return Prefix(folder) + name; }
  FileStatus OpenAt(const std::string& prefix, std::unique_ptr<Folder>& folder) {
    if (Fails(FileOp::kOpenFolder, prefix)) return FileStatus::Failed;
    folder = std::make_unique<MemoryFolder>(prefix);
    return FileStatus::Ok;
  }
  FileStatus Move(const std::string& from, const std::string& to) {
    auto file = files.extract(from);
    if (file.empty()) return FileStatus::Missing;
    files[to] = std::move(file.mapped());
    return FileStatus::Ok;
  }

  std::set<std::string> locked_;
  int temporaries_ = 0;
};

}  // namespace kelvara
