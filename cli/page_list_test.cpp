#include "cli/page_list.h"

#include <gtest/gtest.h>

#include "testing/memory_file_tree.h"

namespace kelvara::cli {
namespace {

using Paths = std::vector<std::string>;

TEST(IsPageName, HtmAndHtmlInAnyCase) {
  for (const char* name : {"a.htm", "a.html", "A.HTM", "b.HtMl", ".htm", "x.original.htm"}) {
    EXPECT_TRUE(IsPageName(name)) << name;
  }
  for (const char* name : {"a.htm.original", "a.html.protected", "a.htm.kelvara-tmp", "a.htmx",
                           "a.shtml.txt", "htm", "a.txt"}) {
    EXPECT_FALSE(IsPageName(name)) << name;
  }
}

// One tree for every row: pages, backups, links, and what cannot be reached.
class PageListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    files.folders = {"site", "site/a", "site/a/deep", "site/b", "site/shut", "other", "empty"};
    for (const char* page :
         {"site/z.htm", "site/B.HTML", "site/b/2.htm", "site/b/1.html", "site/a/deep/x.htm",
          "site/a/deep/beyond-the-limit.htm", "site/a.htm", "site/new\nline.htm", "site/hidden.htm",
          "site/shut/s.htm", "other/o.htm"}) {
      files.files[page] = "<html></html>";
    }
    for (const char* other :
         {"site/z.htm.original", "site/a.htm.protected", "site/notes.txt", "empty/readme.txt"}) {
      files.files[other] = "not a page";
    }
    files.links["site/out"] = "other";
    files.links["site/up"] = "site";
    files.links["site/link.htm"] = "other/o.htm";
    files.links["site/gone.htm"] = "site/missing.htm";
    tree.others.insert("site/pipe.htm");
    tree.unreadable.insert("site/shut");
    tree.unknown.insert("site/hidden.htm");
    tree.maxPath = 30;
  }

  MemoryFileSystem files;
  MemoryFileTree tree{files};
};

TEST_F(PageListTest, WalksFoldersAndReportsWhatItCannotReach) {
  const struct {
    Paths args;
    Paths entries;  // a page, or "path: text" for what the walk could not reach
    Paths errors;
  } rows[] = {
      // In byte order; backups, links to folders, dangling links and pipes are no pages.
      {{"site"},
       {"site/B.HTML", "site/a/deep/beyond-the-limit.htm: Path too long; left alone.",
        "site/a/deep/x.htm", "site/a.htm", "site/b/1.html", "site/b/2.htm",
        "site/hidden.htm: Cannot be read; left alone.", "site/link.htm", "site/new\nline.htm",
        "site/shut: Folder cannot be read; its pages are left alone.", "site/z.htm"},
       {}},
      // Named, a link to a folder is followed; one file is kept once under its first name.
      {{"site/out", "other/o.htm", "site/link.htm", "other"}, {"site/out/o.htm"}, {}},
      {{"./site/b", "site/b/1.html", "other/"},
       {"./site/b/1.html", "./site/b/2.htm", "other/o.htm"},
       {}},
      {{"site/notes.txt", "site/z.htm.original"}, {"site/notes.txt", "site/z.htm.original"}, {}},
      {{"empty"}, {}, {}},
      {{"missing.htm", "site/b", "", "site/pipe.htm", "site/shut", "site/hidden.htm",
        "site/a/deep/beyond-the-limit.htm"},
       {"site/b/1.html", "site/b/2.htm"},
       {"missing.htm: no such file or folder", ": no such file or folder",
        "site/pipe.htm: neither a page nor a folder", "site/shut: folder cannot be read",
        "site/hidden.htm: cannot be read", "site/a/deep/beyond-the-limit.htm: path too long"}},
  };
  for (const auto& row : rows) {
    const PageList list = CollectPages(row.args, tree);
    Paths entries;
    Paths errors;
    for (const PathNote& entry : list.entries) {
      entries.push_back(entry.text.empty() ? entry.path
                                           : entry.path + ": " + std::string(entry.text));
    }
    for (const PathNote& error : list.errors)
      errors.push_back(error.path + ": " + std::string(error.text));
    EXPECT_EQ(entries, row.entries) << row.args[0];
    EXPECT_EQ(errors, row.errors) << row.args[0];
  }
}

}  // namespace
}  // namespace kelvara::cli
