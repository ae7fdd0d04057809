#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "files/atomic_write.h"
#include "files/real_file_system.h"
#include "testing/outcome_text.h"
#include "testing/scratch_folder.h"

// What a hostile or odd folder can hold, on Linux.
namespace kelvara {
namespace {

namespace fs = std::filesystem;

using PosixFileSystemTest = ScratchFolder;

// Whatever the backup's name holds is replaced, never followed, or refused
// unopened; page and backup keep the page's permission bits and owner, also
// where the backup has to be a copy. A name too long for a backup is
// refused, and a pipe or a folder at a page's name is never opened in a way
// that waits.
TEST_F(PosixFileSystemTest, OddNamesAreReplacedNeverFollowedOrRefused) {
  RealFileSystem files;
  const auto rewrite = [&](const std::string& page, const std::string& backup) {
    return RewritePage(files, PathOf(page), PathOf(backup),
                       [](PageSink& sink) { sink.Write("new"); });
  };
  const fs::path backup = folder / "page.htm.original";
  for (const std::string planted :
       {"symlink victim", "link victim", "link page.htm", "symlink page.htm", "pipe", "folder"}) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    Put("page.htm", "plain");
    Put("victim", "keep me");
    ::chmod(PathOf("page.htm").c_str(), 0640);
    const fs::path target = folder / planted.substr(planted.find(' ') + 1);
    if (planted.starts_with("symlink")) fs::create_symlink(target, backup);
    if (planted.starts_with("link")) fs::create_hard_link(target, backup);
    if (planted == "pipe") ::mkfifo(backup.c_str(), 0600);
    if (planted == "folder") fs::create_directory(backup);
    const bool refused = planted == "pipe" || planted == "folder";
    EXPECT_EQ(rewrite("page.htm", "page.htm.original"),
              refused ? OutcomeCode::BackupFailed : OutcomeCode::Done);
    EXPECT_TRUE(Get("victim") == "keep me" && Get("page.htm") == (refused ? "plain" : "new") &&
                (refused || Get("page.htm.original") == "plain"))
        << planted;
    Put("copy", "copy");
    EXPECT_TRUE(files.CopyAttributes(PathOf("page.htm"), PathOf("copy")));
    for (const char* name : {"page.htm", "page.htm.original", "copy"}) {
      struct stat info {};
      EXPECT_TRUE(refused || (::lstat(PathOf(name).c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
                              (info.st_mode & 07777) == 0640 && info.st_uid == ::getuid()))
          << planted << " " << name;
    }
    std::unique_ptr<FileLock> lock;  // a pipe or a folder as a page: never opened to wait
    EXPECT_TRUE(!refused || (files.Lock(backup.string(), lock) == FileStatus::NotAFile &&
                             files.Read(backup.string()) == nullptr));
    EXPECT_EQ(Temporaries(), 0) << planted;
  }
  const std::string longName(250, 'n');
  Put(longName, "old");
  EXPECT_TRUE(rewrite(longName, longName + ".protected") == OutcomeCode::NameTooLong &&
              Get(longName) == "old" && Temporaries() == 0);
}

}  // namespace
}  // namespace kelvara
