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

class PageListTest : public ::testing::Test {
 protected:
  void Page(const std::string& path) { files.files[path] = "<html></html>"; }
  PageList Collect(const Paths& paths) { return CollectPages(paths, tree); }

  MemoryFileSystem files;
  MemoryFileTree tree{files};
};

TEST_F(PageListTest, WalksFoldersInByteOrderAndSkipsBackups) {
  files.folders = {"site", "site/b", "site/a", "site/a/deep"};
  for (const char* page : {"site/z.htm", "site/B.HTML", "site/b/2.htm", "site/b/1.html",
                           "site/a/deep/x.htm", "site/a.htm"}) {
    Page(page);
  }
  for (const char* other : {"site/z.htm.original", "site/a.htm.protected", "site/a.htm.kelvara-tmp",
                            "site/notes.txt", "site/b/1.html.original"}) {
    Page(other);
  }
  const PageList list = Collect({"site"});
  EXPECT_EQ(list.errors, Paths{});
  EXPECT_EQ(list.pages, (Paths{"site/B.HTML", "site/a/deep/x.htm", "site/a.htm", "site/b/1.html",
                               "site/b/2.htm", "site/z.htm"}));
}

TEST_F(PageListTest, NamedFileIsAPageWhateverItsName) {
  Page("notes.txt");
  Page("a.htm.original");
  EXPECT_EQ(Collect({"notes.txt", "a.htm.original"}).pages, (Paths{"notes.txt", "a.htm.original"}));
}

TEST_F(PageListTest, PathsKeepTheSpellingGivenAndTheOrderOfTheCommandLine) {
  files.folders = {"d", "e"};
  Page("d/a.htm");
  Page("e/b.htm");
  Page("c.htm");
  EXPECT_EQ(Collect({"e/", "c.htm", "./d"}).pages, (Paths{"e/b.htm", "c.htm", "./d/a.htm"}));
}

TEST_F(PageListTest, AFileNamedManyWaysIsKeptOnceUnderItsFirstName) {
  files.folders = {"d"};
  Page("d/a.htm");
  Page("d/b.htm");
  files.links["d/link.htm"] = "d/a.htm";
  files.links["alias"] = "d";
  const PageList list = Collect({"./d/a.htm", "d/a.htm", "d//a.htm", "d", "alias", "d/link.htm"});
  EXPECT_EQ(list.errors, Paths{});
  EXPECT_EQ(list.pages, (Paths{"./d/a.htm", "d/b.htm"}));
}

TEST_F(PageListTest, LinkLoopsEndAndDanglingLinksAreNoPages) {
  files.folders = {"d", "d/sub"};
  Page("d/sub/a.htm");
  files.links["d/sub/up"] = "d";
  files.links["d/gone.htm"] = "d/missing.htm";
  tree.others.insert("d/pipe.htm");
  const PageList list = Collect({"d"});
  EXPECT_EQ(list.errors, Paths{});
  EXPECT_EQ(list.pages, Paths{"d/sub/a.htm"});
}

TEST_F(PageListTest, EveryUnusablePathIsAnError) {
  files.folders = {"ok", "locked", "tree", "tree/shut"};
  Page("ok/a.htm");
  Page("tree/shut/b.htm");
  tree.unreadable = {"locked", "tree/shut"};
  tree.others.insert("fifo");
  const PageList list = Collect({"missing.htm", "ok", "", "fifo", "locked", "tree"});
  EXPECT_EQ(list.errors,
            (Paths{"missing.htm: no such file or folder", ": no such file or folder",
                   "fifo: neither a page nor a folder", "locked: folder cannot be read",
                   "tree/shut: folder cannot be read"}));
}

TEST_F(PageListTest, EmptyFolderGivesNoPagesAndNoError) {
  files.folders = {"empty"};
  Page("empty.txt");
  const PageList list = Collect({"empty"});
  EXPECT_TRUE(list.pages.empty());
  EXPECT_TRUE(list.errors.empty());
}

}  // namespace
}  // namespace kelvara::cli
