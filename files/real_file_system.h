#pragma once

#include "files/file_system.h"

namespace kelvara {

// The platform's files: POSIX calls on Linux, the ANSI Win32 calls on Windows.
// It holds no state, so one instance can serve a whole program.
class RealFileSystem final : public FileSystem {
 public:
  bool Replaceable(const std::string& path) override;
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
};

// The name of a new temporary file in the folder of `beside`: short, so that a
// long page name still leaves room for it, and hidden from folder listings.
std::string TemporaryName(const std::string& beside, std::string_view random);

}  // namespace kelvara
