#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>

#include "cli/file_tree.h"

namespace kelvara::cli {
namespace {

PathInfo Failed(int error) {
  if (error == ENAMETOOLONG) return {PathKind::kTooLong, {}};
  // Only a path that is not there is no trouble: anything else hides what may be a page.
  return {error == ENOENT || error == ENOTDIR ? PathKind::kMissing : PathKind::kUnreadable, {}};
}

PathInfo Describe(const struct stat& status) {
  PathInfo info;
  info.kind = S_ISREG(status.st_mode)   ? PathKind::kFile
              : S_ISDIR(status.st_mode) ? PathKind::kFolder
                                        : PathKind::kOther;
  info.identity.volume = static_cast<std::uint64_t>(status.st_dev);
  info.identity.file = static_cast<std::uint64_t>(status.st_ino);
  return info;
}

}  // namespace

PathInfo RealFileTree::Look(const std::string& path) {
  struct stat status {};
  if (path.empty()) return {};
  if (::stat(path.c_str(), &status) != 0) return Failed(errno);
  return Describe(status);
}

PathInfo RealFileTree::LookInside(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return Failed(errno);
  if (!S_ISLNK(status.st_mode)) return Describe(status);
  PathInfo info = Look(path);
  if (info.kind == PathKind::kFolder) info.kind = PathKind::kFolderLink;
  return info;
}

bool RealFileTree::List(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return false;
  // A listing that breaks off halfway would leave pages out unnoticed.
  int error = 0;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      error = errno;
      break;
    }
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  return error == 0;
}

std::string RealFileTree::NameKey(const std::string& name) {
  return name;
}

std::string RealFileTree::Join(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

}  // namespace kelvara::cli
