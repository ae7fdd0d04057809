#include "text/real_file_system.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "text/page_file.h"

namespace kelvara {
namespace {

namespace fs = std::filesystem;

// A scratch folder of the test's own, removed afterwards.
class RealFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder = fs::temp_directory_path() / (std::string("kelvara-") + info->name() + "-" +
                                          std::to_string(std::random_device{}()));
    fs::create_directories(folder);
  }
  void TearDown() override {
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ignored)) {
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(folder, ignored);
  }
  std::string PathOf(const std::string& name) const { return (folder / name).string(); }
  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream(folder / name, std::ios::binary) << bytes;
  }
  std::string Get(const std::string& name) const {
    std::ifstream in(folder / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path folder;
  RealFileSystem files;
};

const std::string kOddBytes("a\r\nb\rc\nd\0e\x1A\xFF", 12);

TEST_F(RealFileSystemTest, ReadsEveryByte) {
  Put("page.htm", kOddBytes);
  std::string bytes = "stale";
  ASSERT_TRUE(files.Read(PathOf("page.htm"), bytes));
  EXPECT_EQ(bytes, kOddBytes);
}

TEST_F(RealFileSystemTest, ReadsNothingFromWhatIsNotAFile) {
  fs::create_directory(folder / "folder.htm");
  std::string bytes = "stale";
  EXPECT_FALSE(files.Read(PathOf("missing.htm"), bytes));
  EXPECT_EQ(bytes, "");
  bytes = "stale";
  EXPECT_FALSE(files.Read(PathOf("folder.htm"), bytes));
  EXPECT_EQ(bytes, "");
}

TEST_F(RealFileSystemTest, SeesFilesAndFolders) {
  Put("page.htm", "x");
  fs::create_directory(folder / "sub");
  EXPECT_TRUE(files.Exists(PathOf("page.htm")));
  EXPECT_TRUE(files.Exists(PathOf("sub")));
  EXPECT_FALSE(files.Exists(PathOf("missing.htm")));
}

TEST_F(RealFileSystemTest, CopyOverwritesTheDestination) {
  Put("page.htm", kOddBytes);
  Put("page.htm.original", "a much longer older copy that must not survive");
  ASSERT_TRUE(files.Copy(PathOf("page.htm"), PathOf("page.htm.original")));
  EXPECT_EQ(Get("page.htm.original"), kOddBytes);
  EXPECT_FALSE(files.Copy(PathOf("missing.htm"), PathOf("other.htm")));
}

TEST_F(RealFileSystemTest, AtomicWriteReplacesThePageAndCleansUp) {
  Put("page.htm", "old");
  Put("page.htm.kelvara-tmp", "leftover");
  ASSERT_TRUE(WriteFileAtomically(files, PathOf("page.htm"), kOddBytes));
  EXPECT_EQ(Get("page.htm"), kOddBytes);
  EXPECT_FALSE(fs::exists(folder / "page.htm.kelvara-tmp"));
}

TEST_F(RealFileSystemTest, PagesNamedRelativeToTheCurrentFolderAreReplaced) {
  const fs::path before = fs::current_path();
  fs::current_path(folder);
  fs::create_directory("sub");
  for (const std::string path : {"page.htm", "sub/page.htm", "sub/../other.htm"}) {
    std::ofstream(path, std::ios::binary) << "old";
    EXPECT_TRUE(WriteFileAtomically(files, path, "new")) << path;
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new") << path;
  }
  fs::current_path(before);
}

TEST_F(RealFileSystemTest, AtomicWriteIntoAMissingFolderFails) {
  EXPECT_FALSE(WriteFileAtomically(files, PathOf("no/such/page.htm"), "x"));
}

TEST_F(RealFileSystemTest, ReadOnlyPagesAreRefused) {
  Put("page.htm", "old");
  EXPECT_FALSE(files.IsReadOnly(PathOf("page.htm")));
  fs::permissions(folder / "page.htm",
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_TRUE(files.IsReadOnly(PathOf("page.htm")));
  EXPECT_EQ(RewritePage(files, PathOf("page.htm"), PathOf("page.htm.original"), "new"),
            kWriteFailed);
  EXPECT_EQ(Get("page.htm"), "old");
  EXPECT_FALSE(fs::exists(folder / "page.htm.original"));
}

}  // namespace
}  // namespace kelvara
