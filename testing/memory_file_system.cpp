#include "testing/memory_file_system.h"

#include <algorithm>
#include <new>


namespace kelvara {

class MemoryOutputFile final : public OutputFile {
 public:
  MemoryOutputFile(MemoryFileSystem& files, std::string path)
      : files_(files), path_(std::move(path)) {}

  bool Write(std::string_view bytes) override {
    if (files_.Fails(FileOp::kWrite, path_)) return false;
    files_.files[path_].append(bytes);
    return true;
  }
  bool Sync() override { return !files_.Fails(FileOp::kSync, path_); }
  bool Close() override { return !files_.Fails(FileOp::kClose, path_); }

 private:
  MemoryFileSystem& files_;
  std::string path_;
};

class MemoryLock final : public FileLock {
 public:
  MemoryLock(MemoryFileSystem& files, std::string path) : files_(files), path_(std::move(path)) {}
  ~MemoryLock() override { files_.locked_.erase(path_); }

 private:
  MemoryFileSystem& files_;
  std::string path_;
};

bool MemoryFileSystem::Fails(FileOp op, const std::string& path) {
  log.emplace_back(op, path);
  if (outOfMemoryAt == op) throw std::bad_alloc();
  return failWhen && failWhen(op, path);
}

const std::string& MemoryFileSystem::Follow(const std::string& path) const {
  const auto link = links.find(path);
  return link == links.end() ? path : link->second;
}

std::string MemoryFileSystem::NewTemporaryName(const std::string& beside) {
  const std::size_t slash = beside.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : beside.substr(0, slash + 1);
  return folder + ".kelvara-" + std::to_string(temporaries_++) + ".tmp";
}

int MemoryFileSystem::Count(FileOp op, const std::string& path) const {
  return static_cast<int>(std::count(log.begin(), log.end(), std::make_pair(op, path)));
}

std::vector<std::string> MemoryFileSystem::Temporaries() const {
  std::vector<std::string> names;
  for (const auto& [name, bytes] : files) {
    if (name.find(".kelvara-") != std::string::npos) names.push_back(name);
  }
  return names;
}

FileStamp MemoryFileSystem::Stamp(const std::string& path) {
  FileStamp stamp;
  if (Fails(FileOp::kStamp, path)) return stamp;
  const std::string& real = Follow(path);
  if (folders.contains(real)) {
    stamp.exists = true;
    return stamp;
  }
  const auto file = files.find(real);
  if (file == files.end()) return stamp;
  // The bytes' place in memory stands in for the file's identity, and the
  // count of changes made through this object for its time.
  stamp.exists = true;
  stamp.file = reinterpret_cast<std::uintptr_t>(file->second.data());
  stamp.size = file->second.size();
  stamp.modified = static_cast<std::int64_t>(changes_);
  return stamp;
}

NodeKind MemoryFileSystem::Kind(const std::string& path) {
  if (Fails(FileOp::kKind, path)) return NodeKind::Other;
  if (links.contains(path)) return NodeKind::Link;
  if (files.contains(path)) return NodeKind::File;
  if (folders.contains(path) || others.contains(path)) return NodeKind::Other;
  return NodeKind::Missing;
}

std::unique_ptr<FileBytes> MemoryFileSystem::Read(const std::string& path) {
  if (Fails(FileOp::kRead, path)) return nullptr;
  const auto file = files.find(Follow(path));
  if (file == files.end()) return nullptr;
  return HoldBytes(file->second);
}

bool MemoryFileSystem::IsReadOnly(const std::string& path) {
  if (Fails(FileOp::kIsReadOnly, path)) return false;
  return readOnly.contains(Follow(path));
}

std::string MemoryFileSystem::ResolveLink(const std::string& path) {
  Fails(FileOp::kResolveLink, path);
  return Follow(path);
}

FileStatus MemoryFileSystem::Lock(const std::string& path, std::unique_ptr<FileLock>& lock) {
  if (Fails(FileOp::kLock, path)) return FileStatus::Failed;
  const std::string& real = Follow(path);
  if (others.contains(real) || folders.contains(real)) return FileStatus::NotAFile;
  if (!files.contains(real)) return FileStatus::Missing;
  if (busy.contains(real) || !locked_.insert(real).second) return FileStatus::Busy;
  lock = std::make_unique<MemoryLock>(*this, real);
  return FileStatus::Ok;
}

std::unique_ptr<OutputFile> MemoryFileSystem::CreateTemporary(const std::string& beside,
                                                              std::string& name,
                                                              FileStatus& status) {
  name = NewTemporaryName(beside);
  if (Fails(FileOp::kCreateTemporary, name)) {
    name.clear();
    status = FileStatus::Failed;
    return nullptr;
  }
  files[name].clear();
  ++changes_;
  status = FileStatus::Ok;
  return std::make_unique<MemoryOutputFile>(*this, name);
}

FileStatus MemoryFileSystem::LinkTemporary(const std::string& path, const std::string& beside,
                                           std::string& name) {
  name = NewTemporaryName(beside);
  const auto file = files.find(path);
  if (Fails(FileOp::kLinkTemporary, name) || !hardLinks || file == files.end()) {
    name.clear();
    return FileStatus::Failed;
  }
  files[name] = file->second;
  ++changes_;
  return FileStatus::Ok;
}

bool MemoryFileSystem::CopyAttributes(const std::string& original, const std::string& copy) {
  return !Fails(FileOp::kCopyAttributes, copy) && files.contains(original);
}

FileStatus MemoryFileSystem::Rename(const std::string& from, const std::string& to) {
  if (Fails(FileOp::kRename, to)) return FileStatus::Failed;
  const auto file = files.find(from);
  if (file == files.end()) return FileStatus::Missing;
  if (folders.contains(to) || others.contains(to)) return FileStatus::NotAFile;
  std::string bytes = std::move(file->second);
  files.erase(file);
  links.erase(to);
  files[to] = std::move(bytes);
  ++changes_;
  return FileStatus::Ok;
}

FileStatus MemoryFileSystem::Replace(const std::string& replacement, const std::string& target) {
  if (Fails(FileOp::kReplace, target)) return FileStatus::Failed;
  const auto file = files.find(replacement);
  if (file == files.end()) return FileStatus::Missing;
  if (folders.contains(target)) return FileStatus::NotAFile;
  std::string bytes = std::move(file->second);
  files.erase(file);
  files[target] = std::move(bytes);
  ++changes_;
  return FileStatus::Ok;
}

void MemoryFileSystem::Remove(const std::string& path) {
  Fails(FileOp::kRemove, path);
  files.erase(path);
  ++changes_;
}

}  // namespace kelvara
