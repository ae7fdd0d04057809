// Several kelvara-cli runs on one large page at once, some killed on the way,
// while a reader polls the page as a web server would: the page is always a
// whole old or new page, and what each run says it did, it did.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <regex>
#include <thread>

#include "cipher/page_cipher.h"
#include "restore/restore_page.h"
#include "testing/scratch_folder.h"

namespace kelvara {
namespace {

class RaceTest : public ScratchFolder {
 protected:
  // kelvara-cli MODE on the page with a password; what it says goes to out<run>.
  pid_t Start(const std::string& mode, const std::string& password, int run) {
    const std::string name = std::to_string(run);
    Put("in" + name, password + "\n");
    const std::string command = "exec " KELVARA_CLI_PATH " " + mode +
                                " --password-stdin page.htm <in" + name + " >out" + name;
    const pid_t pid = ::fork();
    if (pid == 0 && ::chdir(folder.c_str()) == 0)
      ::execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
    if (pid == 0) ::_exit(127);
    return pid;
  }
};

TEST_F(RaceTest, APageIsAlwaysWholeAndEveryOutcomeIsTrue) {
  std::string plain = "<html><head><title>Big</title></head><body>\r\n";
  while (plain.size() < (std::size_t{8} << 20))
    plain += "<p>Line " + std::to_string(plain.size()) + "</p>\r\n";
  plain += "</body></html>";
  std::mt19937 random(7);
  for (int round = 0; round < 8; ++round) {
    SCOPED_TRACE(round);
    // Even rounds protect the plain page, odd rounds restore a protected one.
    const bool protecting = round % 2 == 0;
    const bool killOne = round % 3 == 0;
    const int runs = 2 + round % 2 + (round / 4) % 2;
    auto password = [&](int run) { return "pw" + std::to_string(protecting ? run : 0); };
    Put("page.htm", plain);
    if (!protecting) ::waitpid(Start("--protect", password(0), 0), nullptr, 0);
    const std::string before = Get("page.htm");
    std::atomic<bool> racing = true;
    std::atomic<int> torn = 0;
    std::thread reader([&] {
      while (racing) {
        const std::string now = Get("page.htm");
        torn += now != before && !(now.starts_with("<html>") && now.ends_with("</html>\r\n"));
      }
    });
    std::vector<pid_t> pids;
    for (int run = 1; run <= runs; ++run) {
      pids.push_back(Start(protecting ? "--protect" : "--restore", password(run), run));
    }
    if (killOne) {
      std::this_thread::sleep_for(std::chrono::milliseconds(random() % 120));
      ::kill(pids.back(), SIGKILL);
    }
    for (const pid_t pid : pids) ::waitpid(pid, nullptr, 0);
    racing = false;
    reader.join();
    EXPECT_EQ(torn, 0);

    // Each run did the work, or found it done or the page busy; one did it at
    // most, and a changed page is one that a run made whole.
    const std::string after = Get("page.htm");
    const std::regex outcome(protecting ? "protected by Kelvara|busy"
                                        : "normal|not protected|busy");
    int done = 0;
    bool made = after == before;
    for (int run = 1; run <= runs; ++run) {
      const std::string said = Get("out" + std::to_string(run));
      const bool success =
          said.ends_with("now protected by Kelvara\n") || said.ends_with("(no protection)\n");
      PageParts parts;
      const bool opens = protecting
                             ? !ReadProtectedPage(after, PageCipher(password(run)), parts).Refused()
                             : after.find("<title>Big</title>") != std::string::npos;
      EXPECT_TRUE(std::regex_search(said, outcome) || (killOne && run == runs)) << said;
      EXPECT_TRUE(opens || !success) << said;
      done += success;
      made = made || opens;
    }
    EXPECT_LE(done, 1);
    EXPECT_TRUE(made && (after == before || done == 1 || killOne));
    // A run killed on the way may leave its temporary file; no other run does.
    EXPECT_TRUE(killOne || Temporaries() == 0);
  }
}

}  // namespace
}  // namespace kelvara
