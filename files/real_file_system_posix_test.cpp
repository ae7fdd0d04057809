#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <new>

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
                       [](PageSink& sink) { return sink.Write("new"), Outcome(); });
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

// A disk that fills up, a source that gives up half-way and a file whose
// size the system does not know; and a backup that is the page's own file
// under a second name, with no file left open by any of it.
TEST_F(PosixFileSystemTest, FullDisksUnknownSizesAndBackupsAsLinks) {
  RealFileSystem files;
  const auto openFiles = [] {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
  };
  const auto before = openFiles();
  Put("page.htm", "plain");
  Put("page.htm.original", "older");
  const auto rewrite = [&](const PageSource& source) {
    return RewritePage(files, PathOf("page.htm"), PathOf("page.htm.original"), source);
  };
  const PageSource big = [](PageSink& sink) { return sink.Write(std::string(1 << 20, 'x')), Outcome(); };

  // The file size limit stands in for a full disk: writes past it fail.
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;
  ::setrlimit(RLIMIT_FSIZE, &small);
  const Outcome full = rewrite(big);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(full, OutcomeCode::WriteFailed);

  EXPECT_THROW(rewrite([](PageSink& sink) -> Outcome {
                 sink.Write("half");
                 throw std::bad_alloc();
               }),
               std::bad_alloc);
  EXPECT_TRUE(Get("page.htm") == "plain" && Get("page.htm.original") == "older");
  EXPECT_EQ(Temporaries(), 0);

  struct stat page {}, backup {};
  ::stat(PathOf("page.htm").c_str(), &page);
  EXPECT_EQ(rewrite(big), OutcomeCode::Done);
  ::stat(PathOf("page.htm.original").c_str(), &backup);
  EXPECT_TRUE(backup.st_ino == page.st_ino && Get("page.htm.original") == "plain" &&
              Get("page.htm").size() == std::size_t{1} << 20);

  // Files under /proc tell a size of 0 and hold more.
  const std::unique_ptr<FileBytes> version = files.Read("/proc/version");
  ASSERT_NE(version, nullptr);
  EXPECT_TRUE(version->View().starts_with("Linux version") && version->View().ends_with("\n"));
  EXPECT_EQ(openFiles(), before);
}

}  // namespace
}  // namespace kelvara
