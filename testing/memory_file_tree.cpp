#include "testing/memory_file_tree.h"

#include <algorithm>

namespace kelvara::cli {

std::string MemoryFileTree::CanonicalPath(const std::string& path) const {
  std::string result;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    if (!part.empty() && part != ".") {
      if (!result.empty()) result += '/';
      result += part;
      // A link anywhere on the way is followed, as the system does.
      const auto link = files_.links.find(result);
      if (link != files_.links.end()) result = CanonicalPath(link->second);
    }
    start = end + 1;
  }
  return result;
}

PathInfo MemoryFileTree::Look(const std::string& path) {
  PathInfo info;
  if (maxPath != 0 && path.size() > maxPath) return {PathKind::kTooLong, {}};
  const std::string real = CanonicalPath(path);
  if (path.empty() || real.empty()) return info;
  if (unknown.contains(real)) {
    info.kind = PathKind::kUnreadable;
    return info;
  }
  if (others.contains(real)) {
    info.kind = PathKind::kOther;
  } else if (files_.files.contains(real)) {
    info.kind = PathKind::kFile;
  } else if (files_.folders.contains(real)) {
    info.kind = PathKind::kFolder;
  } else {
    return info;
  }
  const auto number = numbers_.try_emplace(real, numbers_.size() + 1).first;
  info.identity = {7, number->second};
  return info;
}

PathInfo MemoryFileTree::LookInside(const std::string& path) {
  PathInfo info = Look(path);
  const std::size_t slash = path.rfind('/');
  const std::string entry =
      slash == std::string::npos ? path : CanonicalPath(path.substr(0, slash)) + path.substr(slash);
  if (info.kind == PathKind::kFolder && files_.links.contains(entry)) {
    info.kind = PathKind::kFolderLink;
  }
  return info;
}

bool MemoryFileTree::List(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  const std::string real = CanonicalPath(folder);
  if (unreadable.contains(real)) return false;
  const std::string prefix = real + "/";
  auto addChild = [&](const std::string& path) {
    if (!path.starts_with(prefix)) return;
    const std::string rest = path.substr(prefix.size());
    if (!rest.empty() && rest.find('/') == std::string::npos) names.push_back(rest);
  };
  for (const auto& [path, bytes] : files_.files) addChild(path);
  for (const std::string& path : files_.folders) addChild(path);
  for (const auto& [path, target] : files_.links) addChild(path);
  for (const std::string& path : others) addChild(path);
  // Listings come in no particular order: make that visible to the code under test.
  std::reverse(names.begin(), names.end());
  return true;
}

std::string MemoryFileTree::Join(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string MemoryFileTree::Canonical(const std::string& path) {
  return CanonicalPath(path);
}

bool MemoryFileTree::MakeFolders(const std::string& path) {
  const std::string real = CanonicalPath(path);
  for (std::size_t slash = real.find('/'); slash != std::string::npos;
       slash = real.find('/', slash + 1)) {
    files_.folders.insert(real.substr(0, slash));
  }
  files_.folders.insert(real);
  return true;
}

}  // namespace kelvara::cli
