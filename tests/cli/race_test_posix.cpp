// Several kelvara-cli processes on one large page at once, some killed on
// the way: the page is always a whole old or new page, never a part of one,
// and what each run says happened did happen.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "cipher/page_cipher.h"
#include "restore/restore_page.h"
#include "testing/memory_file_system.h"
#include "testing/scratch_folder.h"

extern char** environ;

namespace kelvara {
namespace {

struct Child {
  pid_t pid = -1;
  std::string password;
  std::string outFile;
};

class RaceTest : public ScratchFolder {
 protected:
  // Starts `kelvara-cli MODE --password-stdin page.htm` with the password in
  // a file as its standard input and its standard output in another file.
  Child Start(const std::string& mode, const std::string& password, int index) {
    Child run{-1, password, PathOf("out" + std::to_string(index))};
    Put("in" + std::to_string(index), password + "\n");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, PathOf("in" + std::to_string(index)).c_str(),
                                     O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, run.outFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::string program = KELVARA_CLI_PATH;
    std::string page = PathOf("page.htm");
    std::string modeArg = mode;
    std::string stdinArg = "--password-stdin";
    char* argv[] = {program.data(), modeArg.data(), stdinArg.data(), page.data(), nullptr};
    EXPECT_EQ(posix_spawn(&run.pid, program.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return run;
  }
  // The page deciphered with `password`, or empty when it does not open with it.
  static std::string Opened(const std::string& page, const std::string& password) {
    PageParts parts;
    if (ReadProtectedPage(page, PageCipher(password), parts).Refused()) return {};
    return parts.bodyText;
  }
};

TEST_F(RaceTest, APageIsAlwaysWholeAndEveryOutcomeIsTrue) {
  std::string body;
  while (body.size() < (std::size_t{8} << 20)) {
    body += "<p>A line of the page, and its number " + std::to_string(body.size()) + "</p>\r\n";
  }
  const std::string plain =
      "<html><head><title>Big</title></head><body>\r\n" + body + "</body></html>";
  std::mt19937 random(7);
  for (int round = 0; round < 8; ++round) {
    SCOPED_TRACE(::testing::Message() << "round " << round);
    // Even rounds protect the plain page, odd rounds restore a protected one.
    const bool protecting = round % 2 == 0;
    Put("page.htm", plain);
    if (!protecting) {
      Child first = Start("--protect", "pw0", 0);
      int status = 0;
      ::waitpid(first.pid, &status, 0);
    }
    const std::string before = Get("page.htm");

    // A reader polls the page all along, as a web server would.
    std::atomic<bool> racing = true;
    std::atomic<int> torn = 0;
    std::thread reader([&] {
      while (racing) {
        const std::string now = Get("page.htm");
        const bool whole =
            now == before || (now.starts_with("<html>") && now.ends_with("</html>\r\n"));
        if (!whole) ++torn;
      }
    });
    std::vector<Child> runs;
    const int count = 2 + round % 2 + (round / 4) % 2;  // two or three runs
    for (int i = 0; i < count; ++i) {
      runs.push_back(Start(protecting ? "--protect" : "--restore",
                           protecting ? "pw" + std::to_string(i + 1) : "pw0", i + 1));
    }
    const bool killOne = round % 3 == 0;
    if (killOne) {
      std::this_thread::sleep_for(std::chrono::milliseconds(random() % 120));
      ::kill(runs.back().pid, SIGKILL);
    }
    for (Child& run : runs) {
      int status = 0;
      ::waitpid(run.pid, &status, 0);
    }
    racing = false;
    reader.join();
    EXPECT_EQ(torn, 0);

    const std::string after = Get("page.htm");
    int succeeded = 0;
    for (std::size_t i = 0; i < runs.size(); ++i) {
      std::ifstream in(runs[i].outFile);
      const std::string said(std::istreambuf_iterator<char>(in), {});
      if (said.find(protecting ? "File is now protected by Kelvara" : "File back to normal") !=
          std::string::npos) {
        ++succeeded;
        // What it says it did is what the page now is.
        if (protecting) {
          EXPECT_FALSE(Opened(after, runs[i].password).empty()) << said;
        } else {
          EXPECT_NE(after.find("<title>Big</title>"), std::string::npos) << said;
        }
      } else if (!(killOne && i + 1 == runs.size())) {
        // Another run held the page, or had already done the work.
        const bool unchanged = said.find("Page is busy; file unchanged.") != std::string::npos ||
                               said.find(protecting ? "File is already protected by Kelvara."
                                                    : "File is not protected by Kelvara.") !=
                                   std::string::npos;
        EXPECT_TRUE(unchanged) << said;
      }
    }
    EXPECT_LE(succeeded, 1);
    // The page is the old one, or a whole new one that some run made.
    if (after != before) {
      EXPECT_TRUE(succeeded == 1 || killOne);
      if (protecting) {
        bool opens = false;
        for (const Child& run : runs) opens = opens || !Opened(after, run.password).empty();
        EXPECT_TRUE(opens);
      }
    }
    // A run killed on the way may leave its temporary file; no other run does.
    if (!killOne) {
      EXPECT_EQ(Temporaries(), 0);
    }
  }
}

}  // namespace
}  // namespace kelvara
