#pragma once

#include <string_view>

#include "files/file_system.h"

namespace kelvara {

// The platform's files: POSIX calls on Linux, the ANSI Win32 calls on Windows.
// It holds no state, so one instance can serve a whole program.
class RealFileSystem final : public FileSystem {
 public:
  FileStatus Lock(const std::string& path, std::unique_ptr<FileLock>& lock) override;
  std::unique_ptr<FileBytes> Read(const std::string& path) override;
  PageFacts Facts(const std::string& path) override;
  std::string ResolveLink(const std::string& path) override;
  FileStatus OpenFolderOf(const std::string& path, std::unique_ptr<Folder>& folder,
                          std::string& name) override;
  FileStatus OpenFolder(const std::string& path, std::unique_ptr<Folder>& folder) override;
  FileStatus OpenSubfolder(Folder& parent, const std::string& name,
                           std::unique_ptr<Folder>& folder) override;
  FileStatus CheckWritable(Folder& folder) override;
  std::size_t NameLimit(Folder& folder) override;
  std::unique_ptr<OutputFile> CreateTemporary(Folder& folder, std::string& name,
                                              FileStatus& status) override;
  FileStatus CopyAccess(Folder& fromFolder, const std::string& from, Folder& toFolder,
                        const std::string& to) override;
  FileStatus Replaceable(Folder& folder, const std::string& name) override;
  FileStatus Rename(Folder& folder, const std::string& from, Folder& toFolder,
                    const std::string& to) override;
  FileStatus Exchange(Folder& folder, const std::string& a, const std::string& b) override;
  FileStatus Replace(Folder& folder, const std::string& replacement,
                     const std::string& target) override;
  void Remove(Folder& folder, const std::string& name) override;
  FileStatus SyncFolder(Folder& folder) override;
};

// The name of a new temporary file: short, so that a long page name still
// leaves room for it, and hidden from folder listings.
std::string TemporaryName(std::string_view random);

// A path's folder (".", when it names none) and its last name.
struct PathParts {
  std::string folder;
  std::string name;
};
PathParts SplitPath(std::string_view path);

}  // namespace kelvara
