#include "cli/file_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "cli/page_list.h"
#include "cli/page_run.h"
#include "files/real_file_system.h"
#include "protect/protect_page.h"
#include "restore/restore_page.h"
#include "testing/outcome_text.h"
#include "testing/fixed_random.h"

namespace kelvara::cli {
namespace {

namespace fs = std::filesystem;

class RealFileTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder = fs::temp_directory_path() / (std::string("kelvara-cli-") + info->name() + "-" +
                                          std::to_string(std::random_device{}()));
    fs::create_directories(folder / "d" / "sub");
    for (const char* name : {"d/a.htm", "d/B.HTML", "d/a.htm.original", "d/sub/c.htm", "d/x.txt"}) {
      std::ofstream(folder / name, std::ios::binary) << "<html></html>";
    }
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
  std::string At(const std::string& relative) const { return (folder / relative).string(); }

  fs::path folder;
  RealFileTree tree;
};

TEST_F(RealFileTreeTest, TellsKindsApartAndFollowsLinksToFoldersWhenNamedOnly) {
  // Wine makes no links from inside; its smoke test makes them from Linux.
  std::error_code noLinks;
  fs::create_directory_symlink(folder / "d", folder / "dir-link", noLinks);
  if (noLinks) GTEST_SKIP() << "no symbolic links here: " << noLinks.message();
  fs::create_symlink(folder / "d/a.htm", folder / "file-link.htm");
  fs::create_symlink(folder / "d/none.htm", folder / "dangling.htm");
  fs::create_symlink(folder / "loop.htm", folder / "loop.htm");
  const struct {
    std::string path;
    PathKind named;
    PathKind inside;
  } rows[] = {
      {At("d/a.htm"), PathKind::kFile, PathKind::kFile},
      {At("d"), PathKind::kFolder, PathKind::kFolder},
      {At("d/none.htm"), PathKind::kMissing, PathKind::kMissing},
      {At("d/a.htm/x"), PathKind::kMissing, PathKind::kMissing},
      {At("dir-link"), PathKind::kFolder, PathKind::kFolderLink},
      {At("file-link.htm"), PathKind::kFile, PathKind::kFile},
      {At("dangling.htm"), PathKind::kMissing, PathKind::kMissing},
      {At("loop.htm"), PathKind::kUnreadable, PathKind::kUnreadable},
      {At("d/" + std::string(5000, 'x')), PathKind::kTooLong, PathKind::kTooLong},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(tree.Look(row.path).kind, row.named) << row.path;
    EXPECT_EQ(tree.LookInside(row.path).kind, row.inside) << row.path;
  }
  EXPECT_EQ(tree.LookInside(At("file-link.htm")).identity, tree.Look(At("d/a.htm")).identity);
  EXPECT_EQ(tree.Look("").kind, PathKind::kMissing);
}

TEST_F(RealFileTreeTest, OneFileHasOneIdentityWhateverTheSpelling) {
  const FileIdentity a = tree.Look(At("d/a.htm")).identity;
  EXPECT_EQ(tree.Look(At("d/./a.htm")).identity, a);
  EXPECT_EQ(tree.Look(At("d/sub/../a.htm")).identity, a);
  EXPECT_EQ(tree.Look(tree.Join(At("d"), "a.htm")).identity, a);
  EXPECT_NE(tree.Look(At("d/B.HTML")).identity, a);
  EXPECT_NE(tree.Look(At("d")).identity, a);

  std::error_code error;
  fs::create_hard_link(folder / "d/a.htm", folder / "hard.htm", error);
  if (!error) {
    EXPECT_EQ(tree.Look(At("hard.htm")).identity, a);
  }
  fs::create_symlink(folder / "d/a.htm", folder / "soft.htm", error);
  if (!error) {
    EXPECT_EQ(tree.Look(At("soft.htm")).identity, a);
  }
}

TEST_F(RealFileTreeTest, ListsAFolderAndJoinsWithoutDoubledSeparators) {
  std::vector<std::string> names;
  ASSERT_TRUE(tree.List(At("d"), names));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"B.HTML", "a.htm", "a.htm.original", "sub", "x.txt"}));
  EXPECT_FALSE(tree.List(At("nowhere"), names));

  const std::string joined = tree.Join(At("d"), "a.htm");
  EXPECT_EQ(tree.Join(joined.substr(0, joined.size() - 5), "a.htm"), joined);
  EXPECT_EQ(joined.size(), At("d").size() + 6);
}

TEST_F(RealFileTreeTest, WalksARealFolder) {
  const PageList list = CollectPages({At("d"), At("d/./a.htm")}, tree);
  EXPECT_TRUE(list.errors.empty());
  std::vector<std::string> pages;
  for (const PathNote& entry : list.entries) pages.push_back(entry.path + std::string(entry.text));
  EXPECT_EQ(pages,
            (std::vector<std::string>{tree.Join(At("d"), "B.HTML"), tree.Join(At("d"), "a.htm"),
                                      tree.Join(tree.Join(At("d"), "sub"), "c.htm")}));
}

// Pages are mostly named relative to the current folder, with "/" as often as
// "\" on Windows; each is rewritten and keeps the name it was given.
TEST_F(RealFileTreeTest, PagesNamedRelativeToTheCurrentFolderAreRewritten) {
  const fs::path before = fs::current_path();
  fs::current_path(folder);
  RealFileSystem files;
  TagScanner scanner(files);
  const PageCipher cipher("pw");
  for (const std::string path : {"top.htm", "d/page.htm", "d/sub/../page.htm"}) {
    std::ofstream(path, std::ios::binary)
        << "<html>\r\n<head>\r\n</head>\r\n<body>\r\nHi\r\n</body>\r\n</html>\r\n";
    EXPECT_EQ(Said(RunPage(path, Mode::kAuto, cipher, scanner, files, TestRandom())), "") << path;
    const std::unique_ptr<FileBytes> bytes = files.Read(path);
    ASSERT_NE(bytes, nullptr) << path;
    // A page without a title is titled with its name as given.
    EXPECT_NE(bytes->View().find(cipher.EncodeHex(path)), std::string::npos) << path;
    EXPECT_TRUE(fs::exists(path + ".original")) << path;
    EXPECT_EQ(Said(RunPage(path, Mode::kAuto, cipher, scanner, files, TestRandom())), "") << path;
    EXPECT_TRUE(fs::exists(path + ".protected")) << path;
  }
  fs::current_path(before);
}

}  // namespace
}  // namespace kelvara::cli
