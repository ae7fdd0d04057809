#include "cli/page_list.h"

#include <algorithm>
#include <set>

#include "cli/cli_texts.h"
#include "cli/options.h"
#include "text/text.h"

namespace kelvara::cli {
namespace {

// True for a file name ending in ".htm" or ".html", in any letter case. The
// backups that a run leaves (".original", ".protected") never qualify.
bool IsPageName(std::string_view name) {
  const std::string lower = LowerAnsi(name);
  return lower.ends_with(".htm") || lower.ends_with(".html");
}

class PageCollector {
 public:
  explicit PageCollector(FileTree& tree) : tree_(tree) {}

  void AddPath(const std::string& path) {
    const PathInfo info = tree_.Look(path);
    switch (info.kind) {
      case PathKind::kMissing:
        list_.errors.push_back({path, UsageError(std::string(kNoSuchPath))});
        break;
      case PathKind::kOther:
        list_.errors.push_back({path, UsageError(std::string(kNotPageOrFolder))});
        break;
      case PathKind::kUnreadable:
        list_.errors.push_back({path, UsageError(std::string(kPathUnreadable))});
        break;
      case PathKind::kTooLong:
        list_.errors.push_back({path, UsageError(std::string(kNamedPathTooLong))});
        break;
      case PathKind::kFile:
        AddPage(path, info.identity, BaseName(path));
        break;
      case PathKind::kFolder:
      case PathKind::kFolderLink:
        Walk(path, info.identity, true, {});
        break;
    }
  }

  PageList Take() { return std::move(list_); }

 private:
  void AddPage(const std::string& path, const FileIdentity& identity, std::string relative) {
    if (pageIdentities_.insert(identity).second) {
      list_.entries.push_back({path, {}, std::move(relative)});
    }
  }

  static std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
  }

  void Walk(const std::string& folder, const FileIdentity& identity, bool named,
            const std::string& relative) {
    // A folder named twice, or inside another one named, is walked once.
    if (!folderIdentities_.insert(identity).second) return;
    std::vector<std::string> names;
    if (!tree_.List(folder, names)) {
      if (named) {
        list_.errors.push_back({folder, UsageError(std::string(kNamedFolderUnreadable))});
      } else {
        list_.entries.push_back({folder, Refusal(kFolderUnreadable)});
      }
      return;
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      const std::string path = tree_.Join(folder, name);
      const std::string inside = relative.empty() ? name : relative + "/" + name;
      const PathInfo info = tree_.LookInside(path);
      switch (info.kind) {
        case PathKind::kFolder:
          Walk(path, info.identity, false, inside);
          break;
        case PathKind::kFile:
          if (IsPageName(name)) AddPage(path, info.identity, inside);
          break;
        // What it is cannot be told, so it may be a page or hold some.
        case PathKind::kUnreadable:
          list_.entries.push_back({path, Refusal(kEntryUnreadable)});
          break;
        case PathKind::kTooLong:
          list_.entries.push_back({path, Refusal(kPathTooLong)});
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

PageList CollectPages(const std::vector<std::string>& paths, FileTree& tree) {
  PageCollector collector(tree);
  for (const std::string& path : paths) collector.AddPath(path);
  return collector.Take();
}

Outcome OutputFor(const PathNote& page, const std::vector<std::string>& named,
                  const std::string& output, FileTree& tree, std::string& shown) {
  const std::string outputFolder = tree.Canonical(output);
  for (const std::string& path : named) {
    if (tree.Look(path).kind != PathKind::kFolder) continue;
    const std::string folder = tree.Canonical(path);
    if (outputFolder == folder || outputFolder.starts_with(tree.Join(folder, ""))) {
      return Refusal(kOutputInsideSource);
    }
  }
  shown = output;
  std::string folder = output;
  for (std::size_t from = 0;;) {
    const std::size_t slash = page.relative.find('/', from);
    const std::string name = page.relative.substr(from, slash - from);
    if (slash == std::string::npos) {
      // The output's own entry is the page's when both lie in one folder
      // under one name; a link or another name of the page there is only
      // replaced.
      const std::size_t pageSlash = page.path.find_last_of("/\\");
      const std::string pageFolder =
          pageSlash == std::string::npos ? "." : page.path.substr(0, pageSlash + 1);
      const std::string pageName = page.path.substr(pageSlash + 1);
      const PathInfo there = tree.Look(folder);
      if (there.kind == PathKind::kFolder && there.identity == tree.Look(pageFolder).identity &&
          tree.NameKey(name) == tree.NameKey(pageName)) {
        shown = tree.Join(folder, name);
        return Refusal(kOutputIsSource);
      }
    }
    folder = tree.Join(folder, name);
    shown = folder;
    if (slash == std::string::npos) return OutcomeCode::Done;
    from = slash + 1;
  }
}

}  // namespace kelvara::cli
