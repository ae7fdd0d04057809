#pragma once

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
enum class FileOp { kReplaceable, kRead, kIsReadOnly, kResolveLink, kLock, kCreateTemporary,
                    kLinkTemporary, kWrite, kSync, kClose, kCopyAttributes, kRename, kReplace, kRemove };
// clang-format on

// In-memory files for tests. Every operation is logged, and `failWhen` can
// make any single one of them fail, so each failure path can be walked
// without touching a disk; `outOfMemoryAt` makes one throw as running out
// of memory does.
class MemoryFileSystem final : public FileSystem {
 public:
  std::map<std::string, std::string> files;
  std::set<std::string> readOnly;
  std::set<std::string> busy;  // pages that another run holds locked
  std::vector<std::pair<FileOp, std::string>> log;
  // Asked before each operation; true makes it fail.
  std::function<bool(FileOp, const std::string&)> failWhen;
  std::optional<FileOp> outOfMemoryAt;
  bool hardLinks = true;  // without them, backups are copies

  // The temporary files that are still there.
  std::vector<std::string> Temporaries() const {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : files) {
      if (name.find(".kelvara-") != std::string::npos) names.push_back(name);
    }
    return names;
  }

  bool Replaceable(const std::string& path) override {
    return !Fails(FileOp::kReplaceable, path);
  }
  std::unique_ptr<FileBytes> Read(const std::string& path) override {
    const auto file = files.find(path);
    return Fails(FileOp::kRead, path) || file == files.end() ? nullptr : HoldBytes(file->second);
  }
  bool IsReadOnly(const std::string& path) override {
    return !Fails(FileOp::kIsReadOnly, path) && readOnly.contains(path);
  }
  std::string ResolveLink(const std::string& path) override {
    return Fails(FileOp::kResolveLink, path), path;  // logged, never failing
  }
  FileStatus Lock(const std::string& path, std::unique_ptr<FileLock>& lock) override {
    if (Fails(FileOp::kLock, path)) return FileStatus::Failed;
    if (!files.contains(path)) return FileStatus::Missing;
    if (busy.contains(path) || !locked_.insert(path).second) return FileStatus::Busy;
    lock = std::make_unique<Held>(locked_, path);
    return FileStatus::Ok;
  }
  std::unique_ptr<OutputFile> CreateTemporary(const std::string& beside, std::string& name,
                                              FileStatus& status) override {
    name = NewTemporaryName(beside);
    status = Fails(FileOp::kCreateTemporary, name) ? FileStatus::Failed : FileStatus::Ok;
    if (status != FileStatus::Ok) return name.clear(), nullptr;
    files[name].clear();
    return std::make_unique<Output>(*this, name);
  }
  FileStatus LinkTemporary(const std::string& path, const std::string& beside,
                           std::string& name) override {
    name = NewTemporaryName(beside);
    if (Fails(FileOp::kLinkTemporary, name) || !hardLinks || !files.contains(path)) {
      return name.clear(), FileStatus::Failed;
    }
    files[name] = files[path];
    return FileStatus::Ok;
  }
  bool CopyAttributes(const std::string& original, const std::string& copy) override {
    return !Fails(FileOp::kCopyAttributes, copy) && files.contains(original);
  }
  FileStatus Rename(const std::string& from, const std::string& to) override {
    return Fails(FileOp::kRename, to) ? FileStatus::Failed : Move(from, to);
  }
  FileStatus Replace(const std::string& replacement, const std::string& target) override {
    return Fails(FileOp::kReplace, target) ? FileStatus::Failed : Move(replacement, target);
  }
  void Remove(const std::string& path) override {
    Fails(FileOp::kRemove, path);
    files.erase(path);
  }

 private:
  struct Output final : OutputFile {
    Output(MemoryFileSystem& owner, std::string name) : files(owner), path(name) {}
    bool Write(std::string_view bytes) override {
      return !files.Fails(FileOp::kWrite, path) && (files.files[path].append(bytes), true);
    }
    bool Sync() override { return !files.Fails(FileOp::kSync, path); }
    bool Close() override { return !files.Fails(FileOp::kClose, path); }
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
  std::string NewTemporaryName(const std::string& beside) {
    const std::size_t slash = beside.rfind('/');
    return beside.substr(0, slash == std::string::npos ? 0 : slash + 1) + ".kelvara-" +
           std::to_string(temporaries_++) + ".tmp";
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
