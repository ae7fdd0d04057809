#include <dirent.h>
#include <sys/stat.h>

#include "cli/file_tree.h"

namespace kelvara::cli {

PathInfo RealFileTree::Look(const std::string& path) {
  PathInfo info;
  struct stat status {};
  if (path.empty() || ::stat(path.c_str(), &status) != 0) return info;
  info.kind = S_ISREG(status.st_mode)   ? PathKind::kFile
              : S_ISDIR(status.st_mode) ? PathKind::kFolder
                                        : PathKind::kOther;
  info.identity.volume = static_cast<std::uint64_t>(status.st_dev);
  info.identity.file = static_cast<std::uint64_t>(status.st_ino);
  return info;
}

bool RealFileTree::List(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return false;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  return true;
}

std::string RealFileTree::Join(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

}  // namespace kelvara::cli
