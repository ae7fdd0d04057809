#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "files/atomic_write.h"
#include "files/real_file_system.h"
#include "testing/outcome_text.h"

namespace kelvara {
namespace {

namespace fs = std::filesystem;

class PosixFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("kelvara-posix-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }
  std::string PathOf(const std::string& name) const { return (folder / name).string(); }
  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream(folder / name, std::ios::binary) << bytes;
  }
  mode_t ModeOf(const std::string& name) const {
    struct stat info {};
    ::lstat(PathOf(name).c_str(), &info);
    return info.st_mode;
  }

  fs::path folder;
  RealFileSystem files;
};

TEST_F(PosixFileSystemTest, ReplacementKeepsThePagesPermissions) {
  Put("page.htm", "old");
  ::chmod(PathOf("page.htm").c_str(), 0640);
  ASSERT_TRUE(WriteFileAtomically(files, PathOf("page.htm"), "new"));
  EXPECT_EQ(ModeOf("page.htm") & 07777, 0640u);
}

TEST_F(PosixFileSystemTest, BackupIsAsPrivateAsThePage) {
  Put("page.htm", "secret");
  ::chmod(PathOf("page.htm").c_str(), 0600);
  ASSERT_TRUE(files.Copy(PathOf("page.htm"), PathOf("page.htm.original")));
  EXPECT_EQ(ModeOf("page.htm.original") & 0777, 0600u);
}

// A backup name that leads back to the page must not empty the page: the
// page would then be lost once the protected one replaced it.
TEST_F(PosixFileSystemTest, ABackupNameThatIsThePageItselfIsRefused) {
  Put("page.htm", "plain");
  fs::create_hard_link(folder / "page.htm", folder / "page.htm.original");
  fs::create_symlink(folder / "page.htm", folder / "page.htm.copy");
  for (const std::string backup : {"page.htm.original", "page.htm.copy"}) {
    EXPECT_EQ(Said(RewritePage(files, PathOf("page.htm"), PathOf(backup), "protected")), kBackupFailed)
        << backup;
    std::ifstream in(folder / "page.htm");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "plain") << backup;
  }
}

TEST_F(PosixFileSystemTest, ALinkedPageHasItsTargetReplaced) {
  Put("real.htm", "old");
  fs::create_symlink(folder / "real.htm", folder / "link.htm");
  ASSERT_TRUE(WriteFileAtomically(files, PathOf("link.htm"), "new"));
  EXPECT_TRUE(S_ISLNK(ModeOf("link.htm")));
  std::ifstream in(folder / "real.htm");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new");
}

TEST_F(PosixFileSystemTest, APlantedLinkUnderTheTemporaryNameIsNotFollowed) {
  Put("page.htm", "old");
  Put("victim", "keep me");
  fs::create_symlink(folder / "victim", folder / "page.htm.kelvara-tmp");
  ASSERT_TRUE(WriteFileAtomically(files, PathOf("page.htm"), "new"));
  std::ifstream in(folder / "victim");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep me");
}

}  // namespace
}  // namespace kelvara
