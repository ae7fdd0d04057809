#include "cli/page_list.h"

#include <algorithm>
#include <set>

#include "format/texts.h"
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
        list_.errors.push_back({path, "no such file or folder"});
        break;
      case PathKind::kOther:
        list_.errors.push_back({path, "neither a page nor a folder"});
        break;
      case PathKind::kUnreadable:
        list_.errors.push_back({path, "cannot be read"});
        break;
      case PathKind::kTooLong:
        list_.errors.push_back({path, "path too long"});
        break;
      case PathKind::kFile:
        AddPage(path, info.identity);
        break;
      case PathKind::kFolder:
      case PathKind::kFolderLink:
        Walk(path, info.identity, true);
        break;
    }
  }

  PageList Take() { return std::move(list_); }

 private:
  void AddPage(const std::string& path, const FileIdentity& identity) {
    if (pageIdentities_.insert(identity).second) list_.entries.push_back({path, {}});
  }

  void Walk(const std::string& folder, const FileIdentity& identity, bool named) {
    // A folder named twice, or inside another one named, is walked once.
    if (!folderIdentities_.insert(identity).second) return;
    std::vector<std::string> names;
    if (!tree_.List(folder, names)) {
      if (named) {
        list_.errors.push_back({folder, "folder cannot be read"});
      } else {
        list_.entries.push_back({folder, kFolderUnreadable});
      }
      return;
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      const std::string path = tree_.Join(folder, name);
      const PathInfo info = tree_.LookInside(path);
      switch (info.kind) {
        case PathKind::kFolder:
          Walk(path, info.identity, false);
          break;
        case PathKind::kFile:
          if (IsPageName(name)) AddPage(path, info.identity);
          break;
        // What it is cannot be told, so it may be a page or hold some.
        case PathKind::kUnreadable:
          list_.entries.push_back({path, kEntryUnreadable});
          break;
        case PathKind::kTooLong:
          list_.entries.push_back({path, kPathTooLong});
          break;
        // Dangling links, devices and pipes are no pages.
        case PathKind::kMissing:
        case PathKind::kOther:
        case PathKind::kFolderLink:
          break;
      }
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
