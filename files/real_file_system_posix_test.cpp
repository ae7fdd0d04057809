#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "files/atomic_write.h"
#include "files/real_file_system.h"
#include "testing/outcome_text.h"
#include "testing/scratch_folder.h"

// What a hostile or odd folder can hold under a backup's name, on Linux.
namespace kelvara {
namespace {

namespace fs = std::filesystem;

class PosixFileSystemTest : public ScratchFolder {
 protected:
  struct stat StatOf(const std::string& name) const {
    struct stat info {};
    ::lstat(PathOf(name).c_str(), &info);
    return info;
  }
  Outcome Rewrite(const std::string& page, const std::string& backup) {
    return RewritePage(files, PathOf(page), PathOf(backup),
                       [](PageSink& sink) { sink.Write("protected"); });
  }
  RealFileSystem files;
};

TEST_F(PosixFileSystemTest, TheBackupNameIsReplacedNeverFollowed) {
  struct Case {
    const char* planted;
    Outcome outcome;
  };
  for (const Case c : {Case{"symlink to victim", OutcomeCode::Done},
                       Case{"hard link to victim", OutcomeCode::Done},
                       Case{"hard link to the page", OutcomeCode::Done},
                       Case{"symlink to the page", OutcomeCode::Done},
                       Case{"pipe", OutcomeCode::BackupFailed},
                       Case{"folder", OutcomeCode::BackupFailed}}) {
    const std::string planted = c.planted;
    fs::remove_all(folder);
    fs::create_directories(folder);
    Put("page.htm", "plain");
    Put("victim", "keep me");
    const fs::path backup = folder / "page.htm.original";
    if (planted == "symlink to victim") fs::create_symlink(folder / "victim", backup);
    if (planted == "hard link to victim") fs::create_hard_link(folder / "victim", backup);
    if (planted == "hard link to the page") fs::create_hard_link(folder / "page.htm", backup);
    if (planted == "symlink to the page") fs::create_symlink(folder / "page.htm", backup);
    if (planted == "pipe") {
      ASSERT_EQ(::mkfifo(backup.c_str(), 0600), 0);  // must not block
    }
    if (planted == "folder") fs::create_directory(backup);

    EXPECT_EQ(Rewrite("page.htm", "page.htm.original"), c.outcome) << planted;
    EXPECT_EQ(Get("victim"), "keep me") << planted;
    EXPECT_EQ(Get("page.htm"), c.outcome.Refused() ? "plain" : "protected") << planted;
    if (!c.outcome.Refused()) {
      EXPECT_TRUE(S_ISREG(StatOf("page.htm.original").st_mode)) << planted;
      EXPECT_EQ(Get("page.htm.original"), "plain") << planted;
    }
    EXPECT_EQ(Temporaries(), 0) << planted;
  }
}

TEST_F(PosixFileSystemTest, PageAndBackupKeepThePagesPermissions) {
  Put("page.htm", "secret");
  ::chmod(PathOf("page.htm").c_str(), 0640);
  ASSERT_EQ(Rewrite("page.htm", "page.htm.original"), OutcomeCode::Done);
  EXPECT_EQ(StatOf("page.htm").st_mode & 07777, 0640u);
  EXPECT_EQ(StatOf("page.htm.original").st_mode & 07777, 0640u);
  EXPECT_EQ(StatOf("page.htm.original").st_uid, StatOf("page.htm").st_uid);
  // Where the file system cannot link, the backup is a copy with the same bits.
  ASSERT_TRUE(files.CopyAttributes(PathOf("page.htm"), PathOf("page.htm.original")));
}

TEST_F(PosixFileSystemTest, OddNamesAreRefusedWithoutHarm) {
  // Far beyond what a file name may hold: the backup's name cannot be made.
  const std::string longName(250, 'n');
  Put(longName, "old");
  EXPECT_EQ(Rewrite(longName, longName + ".protected"), OutcomeCode::NameTooLong);
  EXPECT_EQ(Get(longName), "old");
  // A pipe under a page's name is never opened in a way that waits.
  ASSERT_EQ(::mkfifo(PathOf("pipe.htm").c_str(), 0600), 0);
  std::unique_ptr<FileLock> lock;
  EXPECT_EQ(files.Lock(PathOf("pipe.htm"), lock), FileStatus::NotAFile);
  EXPECT_EQ(files.Read(PathOf("pipe.htm")), nullptr);
  EXPECT_EQ(Temporaries(), 0);
}

}  // namespace
}  // namespace kelvara
