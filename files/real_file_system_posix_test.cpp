#include <grp.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <new>

#include <gtest/gtest.h>

#include "files/atomic_write.h"
#include "files/real_file_system.h"
#include "page/run_page.h"
#include "testing/fixed_random.h"
#include "testing/outcome_text.h"
#include "testing/scratch_folder.h"

// Every flush the program asks for is counted, so that a flush that is only
// said to be done shows.
namespace {
int flushes = 0;
}  // namespace
extern "C" int fsync(int fd) {
  ++flushes;
  return static_cast<int>(::syscall(SYS_fsync, fd));
}

// What a hostile or odd folder can hold, on Linux.
namespace kelvara {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

using PosixFileSystemTest = ScratchFolder;

PageSource Writes(std::string bytes) {
  return [bytes](PageSink& sink) { return sink.Write(bytes), Outcome(); };
}

// The outcome of `run`, run as the user nobody in a process of its own.
OutcomeCode AsNobody(const std::function<Outcome()>& run) {
  const pid_t child = ::fork();
  if (child == 0) {
    const bool dropped =
        ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
    ::_exit(dropped ? static_cast<int>(run().Code()) : 255);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return static_cast<OutcomeCode>(WEXITSTATUS(status));
}

// Another user can share a folder with the user, or own the page in the
// user's folder: a page is never taken over, and a folder that takes no new
// names is refused, leaving every file as it was. (What a user or a hostile
// folder can do otherwise is in the command-line transcript.)
TEST_F(PosixFileSystemTest, AnotherUsersPagesAndFolders) {
  RealFileSystem files;
  const PageCipher cipher("pw");
  const std::string plain = "<html><head><title>T</title></head><body>text</body></html>";
  ::chmod(folder.c_str(), 0755);
  fs::create_directories(folder / "shared");
  ::chmod((folder / "shared").c_str(), 01777);
  Put("shared/theirs.htm", plain);
  ::chmod(PathOf("shared/theirs.htm").c_str(), 0666);
  fs::create_directories(folder / "closed");
  Put("closed/mine.htm", plain);
  ::chown(PathOf("closed/mine.htm").c_str(), kNobody, kNobody);
  for (const auto& [page, wanted] : {std::pair{"shared/theirs.htm", OutcomeCode::PageOtherOwner},
                                     {"closed/mine.htm", OutcomeCode::FolderNotWritable}}) {
    EXPECT_EQ(AsNobody([&] { return RunPage({PathOf(page)}, cipher, files, TestRandom()); }),
              wanted);
    EXPECT_EQ(Get(page), plain);
  }
  // Nothing else was made: no backup, no temporary file.
  EXPECT_EQ(std::distance(fs::recursive_directory_iterator(folder), {}), 4);
}

// The new page and the folder are flushed to disk, also under an output folder; a source that gives
// up half-way leaves the files as they were; a pipe at a page's name is never opened in a way that
// waits; files whose size the system does not know are read whole; and no file is left open by any
// of it.
TEST_F(PosixFileSystemTest, FlushesGiveUpsPipesAndUnknownSizes) {
  RealFileSystem files;
  const auto openFiles = [] {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
  };
  const auto before = openFiles();
  Put("page.htm", "plain");
  Put("page.htm.original", "older");
  flushes = 0;
  EXPECT_EQ(RewritePage(files, PathOf("page.htm"), PathOf("page.htm.original"),
                        PathOf("page.htm.protected"), Writes("new")),
            OutcomeCode::Done);
  EXPECT_TRUE(Get("page.htm") == "new" && Get("page.htm.original") == "plain" && flushes == 2);
  std::unique_ptr<Folder> out;
  EXPECT_TRUE(files.OpenFolder(PathOf("out"), out) == FileStatus::Ok &&
              WriteOutput(files, *out, "sub/p.htm", Writes("new")) == OutcomeCode::Done &&
              Get("out/sub/p.htm") == "new" && flushes == 4);
  out.reset();
  EXPECT_THROW(RewritePage(files, PathOf("page.htm"), PathOf("page.htm.original"),
                           PathOf("page.htm.protected"),
                           [](PageSink& sink) -> Outcome {
                             sink.Write("half");
                             throw std::bad_alloc();
                           }),
               std::bad_alloc);
  EXPECT_TRUE(Get("page.htm") == "new" && Get("page.htm.original") == "plain");
  EXPECT_EQ(Temporaries(), 0);

  ::mkfifo(PathOf("pipe.htm").c_str(), 0600);
  std::unique_ptr<FileLock> lock;
  EXPECT_TRUE(files.Lock(PathOf("pipe.htm"), lock) == FileStatus::NotAFile &&
              files.Read(PathOf("pipe.htm")) == nullptr);
  // Files under /proc tell a size of 0 and hold more.
  const std::unique_ptr<FileBytes> version = files.Read("/proc/version");
  ASSERT_NE(version, nullptr);
  EXPECT_TRUE(version->View().starts_with("Linux version") && version->View().ends_with("\n"));
  EXPECT_EQ(openFiles(), before);
}

}  // namespace
}  // namespace kelvara
