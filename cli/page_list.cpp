#include "cli/page_list.h"

#include <algorithm>
#include <set>

#include "text/text.h"

namespace kelvara::cli {
namespace {

class PageCollector {
 public:
  explicit PageCollector(FileTree& tree) : tree_(tree) {}

  void AddPath(const std::string& path) {
    const PathInfo info = tree_.Look(path);
    switch (info.kind) {
      case PathKind::kMissing:
        list_.errors.push_back(path + ": no such file or folder");
        break;
      case PathKind::kOther:
        list_.errors.push_back(path + ": neither a page nor a folder");
        break;
      case PathKind::kFile:
        AddPage(path, info.identity);
        break;
      case PathKind::kFolder:
        Walk(path, info.identity);
        break;
    }
  }

  PageList Take() { return std::move(list_); }

 private:
  void AddPage(const std::string& path, const FileIdentity& identity) {
    if (pageIdentities_.insert(identity).second) list_.pages.push_back(path);
  }

  void Walk(const std::string& folder, const FileIdentity& identity) {
    // A folder reached twice (named twice, or through a link that loops
    // back) is walked once.
    if (!folderIdentities_.insert(identity).second) return;
    std::vector<std::string> names;
    if (!tree_.List(folder, names)) {
      list_.errors.push_back(folder + ": folder cannot be read");
      return;
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      const std::string path = tree_.Join(folder, name);
      const PathInfo info = tree_.Look(path);
      if (info.kind == PathKind::kFolder) {
        Walk(path, info.identity);
      } else if (info.kind == PathKind::kFile && IsPageName(name)) {
        AddPage(path, info.identity);
      }
      // Dangling links, devices and pipes found by the walk are no pages.
    }
  }

  FileTree& tree_;
  PageList list_;
  std::set<FileIdentity> pageIdentities_;
  std::set<FileIdentity> folderIdentities_;
};

}  // namespace

bool IsPageName(std::string_view name) {
  const std::string lower = LowerAnsi(name);
  return lower.ends_with(".htm") || lower.ends_with(".html");
}

PageList CollectPages(const std::vector<std::string>& paths, FileTree& tree) {
  PageCollector collector(tree);
  for (const std::string& path : paths) collector.AddPath(path);
  return collector.Take();
}

}  // namespace kelvara::cli
