// Several kelvara-cli runs on one large page at once, some killed on the way,
// while a reader polls the page as a web server would: the page is always a
// whole old or new page, and what each run says it did, it did.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <regex>
#include <thread>

#include "cipher/page_cipher.h"
#include "restore/restore_page.h"
#include "testing/scratch_folder.h"

namespace kelvara {
namespace {

class RaceTest : public ScratchFolder {};

TEST_F(RaceTest, APageIsAlwaysWholeAndEveryOutcomeIsTrue) {
  std::string plain = "<html><head><title>Big</title></head><body>\r\n";
  while (plain.size() < (8 << 20)) plain += "<p>Line " + std::to_string(plain.size()) + "</p>\r\n";
  plain += "</body></html>";
  Put("pw", "pw\n");
  const std::string cli = "cd " + folder.string() + " && exec ";
  const std::string page = " " KELVARA_CLI_PATH " --password-stdin page.htm <pw ";
  for (int round = 0; round < 8; ++round) {
    SCOPED_TRACE(round);
    // Even rounds protect the plain page, odd rounds restore a protected one;
    // every third round the last run is killed some milliseconds in.
    const bool protecting = round % 2 == 0, killOne = round % 3 == 0;
    const int runs = 2 + round % 2 + (round / 4) % 2;
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
    std::vector<FILE*> started;
    for (int run = 0; run < runs; ++run) {
      const std::string kill =
          killOne && run + 1 == runs ? "timeout -s KILL 0.0" + std::to_string(round + 1) : "";
      started.push_back(
          ::popen((cli + kill + page + (protecting ? "--protect" : "--restore")).c_str(), "r"));
    }
    // Each run did the work, found it done or the page busy; one did it at
    // most, and a page changed is one that a run made whole.
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
    // A run killed on the way may leave its temporary file; no other run does.
    EXPECT_TRUE(killOne || Temporaries() == 0);
  }
}

}  // namespace
}  // namespace kelvara
