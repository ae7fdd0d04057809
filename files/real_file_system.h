#pragma once

#include "files/file_system.h"

namespace kelvara {

// The platform's files: POSIX calls on Linux, the ANSI Win32 calls on Windows.
// It holds no state, so one instance can serve a whole program.
class RealFileSystem final : public FileSystem {
 public:
  bool Exists(const std::string& path) override;
  std::unique_ptr<FileBytes> Read(const std::string& path) override;
  bool IsReadOnly(const std::string& path) override;
  bool Copy(const std::string& from, const std::string& to) override;
  std::string ResolveLink(const std::string& path) override;
  std::unique_ptr<OutputFile> Create(const std::string& path) override;
  bool Replace(const std::string& replacement, const std::string& target) override;
  void Remove(const std::string& path) override;
};

}  // namespace kelvara
