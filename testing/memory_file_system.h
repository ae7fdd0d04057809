#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "files/file_system.h"

namespace kelvara {

enum class FileOp {
  kExists,
  kRead,
  kIsReadOnly,
  kCopy,
  kResolveLink,
  kCreate,
  kWrite,
  kSync,
  kClose,
  kReplace,
  kRemove
};

// In-memory files for tests. Every operation is logged, and `failWhen` can
// make any single one of them fail, so each failure path can be walked
// without touching a disk.
class MemoryFileSystem final : public FileSystem {
 public:
  std::map<std::string, std::string> files;
  std::set<std::string> folders;
  std::set<std::string> readOnly;
  std::map<std::string, std::string> links;  // link path -> target path
  std::vector<std::pair<FileOp, std::string>> log;
  // Asked before each operation; true makes it fail.
  std::function<bool(FileOp, const std::string&)> failWhen;

  int Count(FileOp op, const std::string& path) const;

  bool Exists(const std::string& path) override;
  std::unique_ptr<FileBytes> Read(const std::string& path) override;
  bool IsReadOnly(const std::string& path) override;
  bool Copy(const std::string& from, const std::string& to) override;
  std::string ResolveLink(const std::string& path) override;
  std::unique_ptr<OutputFile> Create(const std::string& path) override;
  bool Replace(const std::string& replacement, const std::string& target) override;
  void Remove(const std::string& path) override;

 private:
  friend class MemoryOutputFile;
  // Logs the operation and tells whether it is to fail.
  bool Fails(FileOp op, const std::string& path);
  const std::string& Follow(const std::string& path) const;
};

}  // namespace kelvara
