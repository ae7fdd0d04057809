#include "files/real_file_system.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "files/atomic_write.h"
#include "testing/outcome_text.h"

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

// Small files are read and large ones may be mapped: both give every byte,
// and the bytes stay as read while the file is replaced under them.
TEST_F(RealFileSystemTest, ReadsEveryByteOfSmallAndLargeFiles) {
  std::string large;
  for (int i = 0; large.size() < (std::size_t{3} << 20) + 5; ++i)
    large += kOddBytes + std::to_string(i);
  for (const std::string& content : {std::string(), kOddBytes, large}) {
    Put("page.htm", content);
    const std::unique_ptr<FileBytes> bytes = files.Read(PathOf("page.htm"));
    ASSERT_NE(bytes, nullptr) << content.size();
    EXPECT_TRUE(bytes->View() == content) << content.size();
    ASSERT_TRUE(WriteFileAtomically(files, PathOf("page.htm"), "new"));
    EXPECT_TRUE(bytes->View() == content) << content.size();
  }
}

TEST_F(RealFileSystemTest, ReadsNothingFromWhatIsNotAFile) {
  fs::create_directory(folder / "folder.htm");
  EXPECT_EQ(files.Read(PathOf("missing.htm")), nullptr);
  EXPECT_EQ(files.Read(PathOf("folder.htm")), nullptr);
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

// A large page goes out in slices, some written straight through and some
// gathered from small writes; all must land in order and whole.
TEST_F(RealFileSystemTest, AtomicWriteOfALargePageKeepsEverySliceInOrder) {
  Put("page.htm", "old");
  std::string wanted;
  ASSERT_TRUE(WriteFileAtomically(files, PathOf("page.htm"), [&](PageSink& sink) {
    for (int slice = 0; slice < 5; ++slice) {
      const std::string big(PageSink::kSlice + 3 + slice, static_cast<char>('a' + slice));
      sink.Write(big);
      sink.Text() += kOddBytes;
      wanted += big + kOddBytes;
    }
  }));
  EXPECT_TRUE(Get("page.htm") == wanted);
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
  EXPECT_EQ(Said(RewritePage(files, PathOf("page.htm"), PathOf("page.htm.original"), "new")),
            kWriteFailed);
  EXPECT_EQ(Get("page.htm"), "old");
  EXPECT_FALSE(fs::exists(folder / "page.htm.original"));
}

}  // namespace
}  // namespace kelvara
