// kelvara-cli as other programs and people treat it: several runs on one
// page at once, some killed on the way, while a reader polls the page as a
// web server would; and runs over a folder ended by a signal at any moment.
#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <thread>
#include <tuple>

#include "cipher/page_cipher.h"
#include "restore/restore_page.h"
#include "testing/scratch_folder.h"

namespace kelvara {
namespace {

class RaceTest : public ScratchFolder {};

// The page is always a whole old or new page, and what each run says it
// did, it did: one run at most did the work, the others found it done or
// the page busy.
TEST_F(RaceTest, APageIsAlwaysWholeAndEveryOutcomeIsTrue) {
  std::string plain = "<html><head><title>Big</title></head><body>\r\n";
  while (plain.size() < (1 << 20)) plain += "<p>Line " + std::to_string(plain.size()) + "</p>\r\n";
  plain += "</body></html>";
  Put("pw", "pw\n");
  const std::string cli = "cd " + folder.string() + " && exec ";
  const std::string page = " " KELVARA_CLI_PATH " --password-stdin page.htm <pw ";
  // Protecting or restoring, by so many runs, the last killed after so many seconds, or not.
  for (const auto& [protecting, runs, killLastAfter] :
       {std::tuple{true, 2, ""}, {false, 3, "0.002"}, {true, 3, "0.005"}, {false, 2, ""}}) {
    SCOPED_TRACE(std::string(protecting ? "protect " : "restore ") + std::to_string(runs));
    Put("page.htm", plain);
    if (!protecting) ::pclose(::popen((cli + page + "--protect").c_str(), "r"));
    const std::string before = Get("page.htm");
    std::atomic<bool> racing = true;
    std::atomic<int> torn = 0;
    std::thread reader([&] {
      while (racing) {
        const std::string now = Get("page.htm");
        torn += now != before && now != plain &&
                !(now.starts_with("<html>") && now.ends_with("</html>\r\n"));
      }
    });
    const bool killOne = *killLastAfter != '\0';
    std::vector<FILE*> started;
    for (int run = 0; run < runs; ++run) {
      const std::string kill =
          killOne && run + 1 == runs ? "timeout -s KILL " + std::string(killLastAfter) : "";
      started.push_back(
          ::popen((cli + kill + page + (protecting ? "--protect" : "--restore")).c_str(), "r"));
    }
    const std::regex outcome(protecting ? "protected by Kelvara|busy"
                                        : "normal|not protected|busy");
    int done = 0;
    for (std::size_t run = 0; run < started.size(); ++run) {
      std::string said(256, '\0');
      said.resize(std::fread(said.data(), 1, said.size(), started[run]));
      ::pclose(started[run]);
      EXPECT_TRUE(std::regex_search(said, outcome) || (killOne && run + 1 == started.size()))
          << said;
      done += said.ends_with(protecting ? "now protected by Kelvara\n" : "(no protection)\n");
    }
    racing = false;
    reader.join();
    EXPECT_EQ(torn, 0);
    const std::string after = Get("page.htm");
    ProtectedReading reading;
    const bool made = protecting ? !ReadProtectedPage(after, PageCipher("pw"), reading).Refused()
                                 : after == plain;
    EXPECT_TRUE(done == 1 ? made : done == 0 && (after == before || (made && killOne)));
    // A run killed outright may leave its temporary file; no other run does.
    EXPECT_TRUE(killOne || Temporaries() == 0);
  }
}

// A folder run that SIGINT, SIGTERM or SIGHUP ends at any moment finishes
// the page in hand and ends as the signal would: no temporary file is left,
// and each page is the plain page, or protected with the plain page as its
// backup. The moments are fixed, so that a failing one fails again.
TEST_F(RaceTest, ASignalAtAnyMomentLeavesNoTemporaryFile) {
  const std::string plain = "<html><head><title>T</title></head><body>\r\n" +
                            std::string(64 << 10, 'x') + "\r\n</body></html>";
  Put("pw", "pw\n");
  int signalled = 0;
  int moment = 0;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    for (const int microseconds : {2000, 7000, 15000, 32000}) {
      SCOPED_TRACE(std::to_string(signal) + " after " + std::to_string(microseconds) + " us");
      const std::filesystem::path site = folder / ("site" + std::to_string(moment++));
      std::filesystem::create_directories(site);
      for (int page = 0; page < 16; ++page) {
        Put((site.filename() / "p").string() + std::to_string(page) + ".htm", plain);
      }
      // Ended by the signal itself (128 + it), or done before it came.
      const int status = WEXITSTATUS(std::system(
          ("timeout --preserve-status -s " + std::to_string(signal) + " " +
           std::to_string(microseconds / 1e6) + " " KELVARA_CLI_PATH " --password-stdin " +
           site.string() + " <" + PathOf("pw") + " >/dev/null 2>&1")
              .c_str()));
      EXPECT_TRUE(status == 128 + signal || status == 0) << status;
      signalled += status != 0;
      for (const auto& entry : std::filesystem::directory_iterator(site)) {
        const std::string name = entry.path().filename().string();
        EXPECT_FALSE(name.starts_with(".kelvara-")) << name;
        const std::string bytes = Get((site.filename() / name).string());
        if (name.ends_with(".htm")) {
          const bool kept = std::filesystem::exists(entry.path().string() + ".original");
          EXPECT_TRUE(kept ? bytes.starts_with("<html>\r\n<head>\r\n<title>Kelvara")
                           : bytes == plain)
              << name;
        } else {
          EXPECT_EQ(bytes, plain) << name;
        }
      }
    }
  }
  // Most moments fall inside the run: the signals were tried, not missed.
  EXPECT_GT(signalled, 8);
}

}  // namespace
}  // namespace kelvara
