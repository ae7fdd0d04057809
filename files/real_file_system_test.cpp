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

// Files of any size give every byte, and keep them while the file is
// replaced under them; a large page goes out in slices, all in order. A page
// may be named relative to the current folder, and one run at a time holds
// it: that one can still read and replace it. A refusal leaves everything as
// it was. A link at the page's name stays a link, and its target, in another
// folder, gets the new page, with the backup beside the link.
TEST_F(RealFileSystemTest, ReadsLocksAndRewritesEveryByte) {
  RealFileSystem files;
  EXPECT_EQ(TemporaryName(std::string("\0\x25", 2)), ".kelvara-ab.tmp");
  EXPECT_TRUE(SplitPath("/p.htm").folder == "/" && SplitPath("C:\\p.htm").folder == "C:\\" &&
              SplitPath("d/p.htm").folder == "d" && SplitPath("p.htm").folder == ".");
  const auto rewrite = [&](const std::string& page, const std::string& backup,
                           std::string_view bytes) {
    return RewritePage(files, page, backup, backup + "x",
                       [bytes](PageSink& sink) { return sink.Write(bytes), Outcome(); });
  };
  const std::string odd("a\r\nb\rc\nd\0e\x1A\xFF", 12);
  std::string large;
  while (large.size() < (std::size_t{3} << 20)) large += odd + std::to_string(large.size());
  const fs::path before = fs::current_path();
  fs::current_path(folder);
  fs::create_directory("sub");
  for (const std::string& content : {std::string(), odd, large}) {
    const std::string path = content == odd ? "page.htm" : "sub/../page.htm";
    Put("page.htm", content);
    std::unique_ptr<FileLock> lock, second;
    ASSERT_EQ(files.Lock(path, lock), FileStatus::Ok);
    EXPECT_EQ(files.Lock(PathOf("page.htm"), second), FileStatus::Busy);
    EXPECT_EQ(files.Lock(PathOf("missing.htm"), second), FileStatus::Missing);
    const std::unique_ptr<FileBytes> bytes = files.Read(path);
    ASSERT_TRUE(bytes != nullptr && bytes->View() == content) << content.size();
    ASSERT_EQ(rewrite(path, path + ".original", large + "new"), OutcomeCode::Done);
    EXPECT_TRUE(bytes->View() == content && Get("page.htm.original") == content);
    EXPECT_TRUE(Get("page.htm") == large + "new" && Temporaries() == 0);
  }
  fs::current_path(before);
  EXPECT_TRUE(files.Read(PathOf("missing.htm")) == nullptr && files.Read(PathOf("sub")) == nullptr);

  const std::string page = PathOf("page.htm");
  Put("page.htm.protected", "older backup");
  fs::create_directory(page + ".orig");
  EXPECT_EQ(rewrite(page, page + ".orig", "x"), OutcomeCode::BackupFailed);
  EXPECT_EQ(rewrite(PathOf("no/such/page.htm"), "", "x"), OutcomeCode::WriteFailed);
  fs::permissions(page, fs::perms::owner_read);  // no one may write it
  EXPECT_EQ(rewrite(page, page + ".protected", "x"), OutcomeCode::PageReadOnly);
  EXPECT_TRUE(Get("page.htm") == large + "new" && Get("page.htm.protected") == "older backup");
  Put("real.htm", "old");
  std::error_code noLinks;  // Wine makes none
  fs::create_symlink(folder / "real.htm", folder / "sub/link.htm", noLinks);
  if (!noLinks) {
    EXPECT_EQ(rewrite(PathOf("sub/link.htm"), PathOf("sub/link.htm.original"), "new"),
              OutcomeCode::Done);
    EXPECT_TRUE(fs::is_symlink(folder / "sub/link.htm") && Get("real.htm") == "new" &&
                Get("sub/link.htm.original") == "old");
  }
  EXPECT_EQ(Temporaries(), 0);
}

}  // namespace
}  // namespace kelvara
