#include "testing/memory_file_system.h"

#include <algorithm>

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

bool MemoryFileSystem::Fails(FileOp op, const std::string& path) {
  log.emplace_back(op, path);
  return failWhen && failWhen(op, path);
}

const std::string& MemoryFileSystem::Follow(const std::string& path) const {
  const auto link = links.find(path);
  return link == links.end() ? path : link->second;
}

int MemoryFileSystem::Count(FileOp op, const std::string& path) const {
  return static_cast<int>(std::count(log.begin(), log.end(), std::make_pair(op, path)));
}

bool MemoryFileSystem::Exists(const std::string& path) {
  if (Fails(FileOp::kExists, path)) return false;
  const std::string& real = Follow(path);
  return files.contains(real) || folders.contains(real);
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

bool MemoryFileSystem::Copy(const std::string& from, const std::string& to) {
  if (Fails(FileOp::kCopy, from)) return false;
  const auto file = files.find(Follow(from));
  const std::string& dest = Follow(to);
  if (file == files.end() || folders.contains(dest) || readOnly.contains(dest)) return false;
  files[dest] = file->second;
  return true;
}

std::string MemoryFileSystem::ResolveLink(const std::string& path) {
  Fails(FileOp::kResolveLink, path);
  return Follow(path);
}

std::unique_ptr<OutputFile> MemoryFileSystem::Create(const std::string& path) {
  if (Fails(FileOp::kCreate, path) || folders.contains(path)) return nullptr;
  files[path].clear();
  return std::make_unique<MemoryOutputFile>(*this, path);
}

bool MemoryFileSystem::Replace(const std::string& replacement, const std::string& target) {
  if (Fails(FileOp::kReplace, target)) return false;
  const auto file = files.find(replacement);
  if (file == files.end() || folders.contains(target)) return false;
  files[target] = std::move(file->second);
  files.erase(replacement);
  return true;
}

void MemoryFileSystem::Remove(const std::string& path) {
  Fails(FileOp::kRemove, path);
  files.erase(path);
}

}  // namespace kelvara
