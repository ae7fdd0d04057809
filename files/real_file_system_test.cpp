#include "files/real_file_system.h"

#include <gtest/gtest.h>

#include "files/atomic_write.h"
#include "testing/outcome_text.h"
#include "testing/scratch_folder.h"

// The real file system on each platform (under Wine for Windows): what the
// in-memory fake cannot show.
namespace kelvara {
namespace {

namespace fs = std::filesystem;

using RealFileSystemTest = ScratchFolder;

const std::string kOddBytes("a\r\nb\rc\nd\0e\x1A\xFF", 12);

Outcome Rewrite(RealFileSystem& files, const std::string& page, const std::string& backup,
                std::string_view bytes) {
  return RewritePage(files, page, backup, [bytes](PageSink& sink) { sink.Write(bytes); });
}

// Small and large files give every byte, and keep it while the file is
// replaced under them; a large page goes out in slices, all in order.
TEST_F(RealFileSystemTest, ReadsAndRewritesEveryByte) {
  RealFileSystem files;
  std::string large;
  for (int i = 0; large.size() < (std::size_t{3} << 20) + 5; ++i) large += kOddBytes + std::to_string(i);
  for (const std::string& content : {std::string(), kOddBytes, large}) {
    Put("page.htm", content);
    const std::unique_ptr<FileBytes> bytes = files.Read(PathOf("page.htm"));
    ASSERT_NE(bytes, nullptr) << content.size();
    EXPECT_TRUE(bytes->View() == content) << content.size();
    ASSERT_EQ(Rewrite(files, PathOf("page.htm"), PathOf("page.htm.original"), large + "new"),
              OutcomeCode::Done);
    EXPECT_TRUE(bytes->View() == content) << content.size();
    EXPECT_TRUE(Get("page.htm") == large + "new");
    EXPECT_TRUE(Get("page.htm.original") == content);
    EXPECT_EQ(Temporaries(), 0);
  }
  fs::create_directory(folder / "folder.htm");
  EXPECT_EQ(files.Read(PathOf("missing.htm")), nullptr);
  EXPECT_EQ(files.Read(PathOf("folder.htm")), nullptr);
}

TEST_F(RealFileSystemTest, PagesNamedRelativeToTheCurrentFolderAreReplaced) {
  RealFileSystem files;
  const fs::path before = fs::current_path();
  fs::current_path(folder);
  fs::create_directory("sub");
  for (const std::string path : {"page.htm", "sub/page.htm", "sub/../other.htm"}) {
    std::ofstream(path, std::ios::binary) << "old";
    EXPECT_EQ(Rewrite(files, path, path + ".original", "new"), OutcomeCode::Done) << path;
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new") << path;
  }
  fs::current_path(before);
}

TEST_F(RealFileSystemTest, RefusalsLeaveEverythingAsItWas) {
  RealFileSystem files;
  Put("page.htm", "old");
  Put("page.htm.protected", "older backup");
  fs::create_directory(folder / "page.htm.original");
  EXPECT_EQ(Rewrite(files, PathOf("page.htm"), PathOf("page.htm.original"), "new"),
            OutcomeCode::BackupFailed);
  EXPECT_EQ(Rewrite(files, PathOf("no/such/page.htm"), "", "x"), OutcomeCode::WriteFailed);
  fs::permissions(folder / "page.htm",
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_EQ(Rewrite(files, PathOf("page.htm"), PathOf("page.htm.protected"), "new"),
            OutcomeCode::PageReadOnly);
  EXPECT_EQ(Get("page.htm"), "old");
  EXPECT_EQ(Get("page.htm.protected"), "older backup");
  EXPECT_EQ(Temporaries(), 0);
}

// The link stays a link and its target gets the new page, on Windows too.
TEST_F(RealFileSystemTest, ALinkedPageHasItsTargetReplaced) {
  RealFileSystem files;
  Put("real.htm", "old");
  std::error_code error;
  fs::create_symlink(folder / "real.htm", folder / "link.htm", error);
  if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
  ASSERT_EQ(Rewrite(files, PathOf("link.htm"), PathOf("link.htm.original"), "new"),
            OutcomeCode::Done);
  EXPECT_TRUE(fs::is_symlink(folder / "link.htm"));
  EXPECT_EQ(Get("real.htm"), "new");
  EXPECT_EQ(Get("link.htm.original"), "old");
}

TEST_F(RealFileSystemTest, OneRunAtATimeHoldsAPage) {
  RealFileSystem files;
  Put("page.htm", "page");
  std::unique_ptr<FileLock> first;
  std::unique_ptr<FileLock> second;
  ASSERT_EQ(files.Lock(PathOf("page.htm"), first), FileStatus::Ok);
  EXPECT_EQ(files.Lock(PathOf("page.htm"), second), FileStatus::Busy);
  // The held page can still be read, and replaced by the run that holds it.
  ASSERT_NE(files.Read(PathOf("page.htm")), nullptr);
  EXPECT_EQ(Rewrite(files, PathOf("page.htm"), PathOf("page.htm.original"), "new"),
            OutcomeCode::Done);
  first.reset();
  EXPECT_EQ(files.Lock(PathOf("page.htm"), second), FileStatus::Ok);
  EXPECT_EQ(files.Lock(PathOf("missing.htm"), first), FileStatus::Missing);
}

}  // namespace
}  // namespace kelvara
