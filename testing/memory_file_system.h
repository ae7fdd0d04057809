#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "files/file_system.h"

namespace kelvara {

enum class FileOp {
  kStamp,
  kKind,
  kRead,
  kIsReadOnly,
  kResolveLink,
  kLock,
  kCreateTemporary,
  kLinkTemporary,
  kWrite,
  kSync,
  kClose,
  kCopyAttributes,
  kRename,
  kReplace,
  kRemove
};

// In-memory files for tests. Every operation is logged, and `failWhen` can
// make any single one of them fail, so each failure path can be walked
// without touching a disk; `outOfMemoryAt` makes one throw as running out
// of memory does.
class MemoryFileSystem final : public FileSystem {
 public:
  std::map<std::string, std::string> files;
  std::set<std::string> folders;
  std::set<std::string> others;  // pipes, devices: neither file nor folder
  std::set<std::string> readOnly;
  std::set<std::string> busy;    // pages that another run holds locked
  std::map<std::string, std::string> links;  // link path -> target path
  std::vector<std::pair<FileOp, std::string>> log;
  // Asked before each operation; true makes it fail.
  std::function<bool(FileOp, const std::string&)> failWhen;
  std::optional<FileOp> outOfMemoryAt;
  // Where the file system has no hard links, backups are copies.
  bool hardLinks = true;

  int Count(FileOp op, const std::string& path) const;
  // The temporary files that are still there.
  std::vector<std::string> Temporaries() const;

  FileStamp Stamp(const std::string& path) override;
  NodeKind Kind(const std::string& path) override;
  std::unique_ptr<FileBytes> Read(const std::string& path) override;
  bool IsReadOnly(const std::string& path) override;
  std::string ResolveLink(const std::string& path) override;
  FileStatus Lock(const std::string& path, std::unique_ptr<FileLock>& lock) override;
  std::unique_ptr<OutputFile> CreateTemporary(const std::string& beside, std::string& name,
                                              FileStatus& status) override;
  FileStatus LinkTemporary(const std::string& path, const std::string& beside,
                           std::string& name) override;
  bool CopyAttributes(const std::string& original, const std::string& copy) override;
  FileStatus Rename(const std::string& from, const std::string& to) override;
  FileStatus Replace(const std::string& replacement, const std::string& target) override;
  void Remove(const std::string& path) override;

 private:
  friend class MemoryOutputFile;
  friend class MemoryLock;
  // Logs the operation and tells whether it is to fail.
  bool Fails(FileOp op, const std::string& path);
  const std::string& Follow(const std::string& path) const;
  std::string NewTemporaryName(const std::string& beside);

  std::set<std::string> locked_;
  int temporaries_ = 0;
  std::uint64_t changes_ = 0;
};

}  // namespace kelvara
