#include <grp.h>
#include <sys/mount.h>
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

// What a shell command prints on its standard output.
std::string Output(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[256];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      out.append(buffer, got);
    ::pclose(pipe);
  }
  return out;
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

// Whatever the backup's name holds is replaced, never followed, or refused
// unopened; page and backup keep the page's permission bits and owner. A
// page that has another name is refused, and a pipe or a folder at a page's
// name is never opened in a way that waits. The new page and the folder are
// flushed to disk.
TEST_F(PosixFileSystemTest, OddNamesAreReplacedNeverFollowedOrRefused) {
  RealFileSystem files;
  const fs::path backup = folder / "page.htm.original";
  for (const auto& [planted, wanted] : {std::pair{"symlink victim", OutcomeCode::Done},
                                        {"link victim", OutcomeCode::Done},
                                        {"symlink page.htm", OutcomeCode::Done},
                                        {"link page.htm", OutcomeCode::PageHasOtherNames},
                                        {"pipe", OutcomeCode::BackupFailed},
                                        {"folder", OutcomeCode::BackupFailed}}) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    Put("page.htm", "plain");
    Put("victim", "keep me");
    ::chmod(PathOf("page.htm").c_str(), 0640);
    const std::string kind = planted;
    const fs::path target = folder / kind.substr(kind.find(' ') + 1);
    if (kind.starts_with("symlink")) fs::create_symlink(target, backup);
    if (kind.starts_with("link")) fs::create_hard_link(target, backup);
    if (kind == "pipe") ::mkfifo(backup.c_str(), 0600);
    if (kind == "folder") fs::create_directory(backup);
    flushes = 0;
    EXPECT_EQ(RewritePage(files, PathOf("page.htm"), backup.string(), PathOf("page.htm.protected"),
                          Writes("new")),
              wanted)
        << kind;
    const bool done = wanted == OutcomeCode::Done;
    EXPECT_TRUE(Get("victim") == "keep me" && Get("page.htm") == (done ? "new" : "plain") &&
                (!done || (Get("page.htm.original") == "plain" && flushes == 2)))
        << kind;
    for (const char* name : {"page.htm", "page.htm.original"}) {
      struct stat info {};
      EXPECT_TRUE(!done || (::lstat(PathOf(name).c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
                            (info.st_mode & 07777) == 0640 && info.st_uid == ::getuid()))
          << kind << " " << name;
    }
    std::unique_ptr<FileLock> lock;  // a pipe or a folder as a page: never opened to wait
    EXPECT_TRUE(kind != "pipe" || (files.Lock(backup.string(), lock) == FileStatus::NotAFile &&
                                   files.Read(backup.string()) == nullptr));
    EXPECT_EQ(Temporaries(), 0) << kind;
  }
}

// What a user, another user or a hostile folder can do to a run, a row
// each: links planted under an output folder, a page with two names, access
// rules, long names, folders that take no rewrite, a full disk. Nothing is
// ever written through a link or outside the output folder, a refusal
// leaves every file as it was, and no temporary file is left.
TEST_F(PosixFileSystemTest, HostileFoldersAndPages) {
  RealFileSystem files;
  const PageCipher cipher("pw");
  const std::string plain = "<html><head><title>T</title></head><body>text</body></html>";
  const auto run = [&](const std::string& page, Mode mode, Folder* output = nullptr,
                       const std::string& relative = {}) {
    return RunPage({PathOf(page), mode, output, relative}, cipher, files, TestRandom()).Code();
  };
  const auto outputFolder = [&](const std::string& name) {
    std::unique_ptr<Folder> output;
    EXPECT_EQ(files.OpenFolder(PathOf(name), output), FileStatus::Ok);
    return output;
  };
  const auto access = [&](const std::string& page) {
    return Output("cd " + folder.string() + " && getfacl -c " + page + " && getfattr -d " + page +
                  " | grep -v '^# file'");
  };
  const std::vector<std::pair<std::string, std::function<void()>>> rows = {
      {"a link at an output page's name is replaced, not written through",
       [&] {
         fs::create_directories(folder / "src");
         fs::create_directories(folder / "out");
         Put("src/a.htm", plain);
         Put("src/b.htm", plain + " ");
         fs::create_symlink("../src/a.htm", folder / "out/b.htm");
         EXPECT_EQ(run("src/b.htm", Mode::Protect, outputFolder("out").get(), "b.htm"),
                   OutcomeCode::Protected);
         EXPECT_TRUE(Get("src/a.htm") == plain && !fs::is_symlink(folder / "out/b.htm"));
       }},
      {"a link at an output folder's name is refused",
       [&] {
         fs::create_directories(folder / "src/other");
         fs::create_directories(folder / "out");
         Put("src/other/p.htm", plain);
         fs::create_directory_symlink("../src/other", folder / "out/sub");
         EXPECT_EQ(run("src/other/p.htm", Mode::Protect, outputFolder("out").get(), "sub/p.htm"),
                   OutcomeCode::OutputFolderFailed);
         EXPECT_EQ(Get("src/other/p.htm"), plain);
       }},
      {"a page with two names is refused",
       [&] {
         Put("index.htm", plain);
         fs::create_hard_link(folder / "index.htm", folder / "home.htm");
         EXPECT_EQ(run("home.htm", Mode::Auto), OutcomeCode::PageHasOtherNames);
         EXPECT_FALSE(fs::exists(folder / "home.htm.original"));
       }},
      {"access rules and attributes stay the page's, and its backup's",
       [&] {
         Put("acl.htm", plain);
         ::chmod(PathOf("acl.htm").c_str(), 0640);
         Output("cd " + folder.string() +
                " && setfacl -m u:nobody:r,g::-,m::r acl.htm && setfattr -n user.note -v kept "
                "acl.htm");
         const std::string before = access("acl.htm");
         ASSERT_NE(before.find("user:nobody:r--"), std::string::npos);
         ASSERT_NE(before.find("user.note=\"kept\""), std::string::npos);
         EXPECT_EQ(run("acl.htm", Mode::Protect), OutcomeCode::Protected);
         EXPECT_TRUE(access("acl.htm") == before && access("acl.htm.original") == before);
         EXPECT_EQ(run("acl.htm", Mode::Restore), OutcomeCode::Restored);
         EXPECT_TRUE(access("acl.htm") == before && Get("acl.htm") == plain);
       }},
      {"a name that can be protected can be restored; one a byte longer cannot be protected",
       [&] {
         const std::string fits(245, 'n');
         const std::string longer(246, 'n');
         Put(fits, plain);
         Put(longer, plain);
         EXPECT_EQ(run(fits, Mode::Protect), OutcomeCode::Protected);
         EXPECT_EQ(run(fits, Mode::Restore), OutcomeCode::Restored);
         EXPECT_EQ(run(longer, Mode::Protect), OutcomeCode::NameTooLong);
         EXPECT_TRUE(Get(fits) == plain && Get(longer) == plain);
       }},
      {"another user's page in a shared folder is refused, never taken over",
       [&] {
         fs::create_directories(folder / "shared");
         ::chmod((folder / "shared").c_str(), 01777);
         Put("shared/theirs.htm", plain);
         ::chmod(PathOf("shared/theirs.htm").c_str(), 0666);
         EXPECT_EQ(AsNobody([&] {
                     return RunPage({PathOf("shared/theirs.htm")}, cipher, files, TestRandom());
                   }),
                   OutcomeCode::PageOtherOwner);
         EXPECT_EQ(Get("shared/theirs.htm"), plain);
       }},
      {"a folder that takes no new names is refused",
       [&] {
         fs::create_directories(folder / "closed");
         Put("closed/mine.htm", plain);
         ::chown(PathOf("closed/mine.htm").c_str(), kNobody, kNobody);
         EXPECT_EQ(AsNobody([&] {
                     return RunPage({PathOf("closed/mine.htm")}, cipher, files, TestRandom());
                   }),
                   OutcomeCode::FolderNotWritable);
         fs::create_directories(folder / "append");
         Put("append/page.htm", plain);
         Output("chattr +a " + PathOf("append"));
         EXPECT_EQ(run("append/page.htm", Mode::Auto), OutcomeCode::FolderNotWritable);
         Output("chattr -a " + PathOf("append"));
         EXPECT_EQ(Get("closed/mine.htm") + Get("append/page.htm"), plain + plain);
       }},
      {"a full disk is told as such",
       [&] {
         fs::create_directories(folder / "small");
         ASSERT_EQ(::mount("tmpfs", PathOf("small").c_str(), "tmpfs", 0, "size=64k"), 0);
         Put("small/page.htm", plain);
         const Outcome full =
             RewritePage(files, PathOf("small/page.htm"), PathOf("small/page.htm.original"),
                         PathOf("small/page.htm.protected"), Writes(std::string(1 << 20, 'x')));
         EXPECT_TRUE(full == OutcomeCode::DiskFull && Get("small/page.htm") == plain);
         ::umount(PathOf("small").c_str());
       }},
  };
  ::chmod(folder.c_str(), 0755);
  for (const auto& [row, check] : rows) {
    SCOPED_TRACE(row);
    check();
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
      EXPECT_FALSE(entry.path().filename().string().starts_with(".kelvara-")) << entry.path();
    }
  }
}

// A source that gives up half-way, files whose size the system does not
// know, and no file left open by any of it.
TEST_F(PosixFileSystemTest, UnknownSizesAndSourcesThatGiveUp) {
  RealFileSystem files;
  const auto openFiles = [] {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
  };
  const auto before = openFiles();
  Put("page.htm", "plain");
  Put("page.htm.original", "older");
  EXPECT_THROW(RewritePage(files, PathOf("page.htm"), PathOf("page.htm.original"),
                           PathOf("page.htm.protected"),
                           [](PageSink& sink) -> Outcome {
                             sink.Write("half");
                             throw std::bad_alloc();
                           }),
               std::bad_alloc);
  EXPECT_TRUE(Get("page.htm") == "plain" && Get("page.htm.original") == "older");
  EXPECT_EQ(Temporaries(), 0);

  // Files under /proc tell a size of 0 and hold more.
  const std::unique_ptr<FileBytes> version = files.Read("/proc/version");
  ASSERT_NE(version, nullptr);
  EXPECT_TRUE(version->View().starts_with("Linux version") && version->View().ends_with("\n"));
  EXPECT_EQ(openFiles(), before);
}

}  // namespace
}  // namespace kelvara
