#include "app/run_worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "testing/recording_dialog.h"
#include "protect/protect_page.h"
#include "restore/restore_page.h"
#include "testing/memory_file_system.h"
#include "files/atomic_write.h"
#include "testing/outcome_text.h"
#include "testing/fixed_random.h"

namespace kelvara {
namespace {

using Calls = std::vector<std::string>;

constexpr char kPage[] = "C:\\pages\\notes.htm";
constexpr char kPlainPage[] =
    "<html>\r\n<head>\r\n<title>Notes</title>\r\n</head>\r\n<body bgcolor=\"white\">\r\n"
    "<p>Alpha</p>\r\n</body>\r\n</html>\r\n";

const std::string kGreenOnBackground = "30,180,0 on 241,245,248";
const std::string kRedOnBackground = "255,0,0 on 241,245,248";

// What the worker shows between the match and the rewrite.
const Calls kMatchCalls = {"disable 1002", "disable 1003", "text 1005 Passwords match",
                           "colours 1005 " + kGreenOnBackground, "repaint"};

Calls Concat(Calls a, const Calls& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The page as protection makes it on its own, to compare the worker's with.
std::string ProtectedCopy(const std::string& plain, const std::string& password,
                          const std::string& path = kPage) {
  MemoryFileSystem other;
  other.files[path] = plain;
  TagScanner scanner(other);
  EXPECT_EQ(Said(ProtectPage(path, PageCipher(password), scanner, other, TestRandom())), "");
  return other.files[path];
}

class RunWorkerTest : public ::testing::Test {
 protected:
  int Run(std::string tail) {
    RunContext run{dialog, state, files, TestRandom(), std::move(tail), [this](std::chrono::milliseconds pause) {
                     dialog.Record("pause " + std::to_string(pause.count()));
                   }};
    return RunWorker(run);
  }

  MemoryFileSystem files;
  RecordingDialog dialog;
  RunState state;
};

TEST_F(RunWorkerTest, ProtectsThePageNamedOnTheCommandLine) {
  files.files[kPage] = kPlainPage;
  state.PublishPasswords("secret", true);

  EXPECT_EQ(Run(std::string("\"") + kPage + "\""), RunFinished);

  const Calls expected =
      Concat(Concat({"text 1004 Enter password to encrypt HTML file :"}, kMatchCalls),
             {"text 1004 File is now protected by Kelvara", "colours 1004 " + kGreenOnBackground,
              "repaint", "pause 2000"});
  EXPECT_EQ(dialog.Calls(), expected);
  EXPECT_EQ(files.files[kPage], ProtectedCopy(kPlainPage, "secret"));
  EXPECT_EQ(files.files[std::string(kPage) + ".original"], kPlainPage);
  EXPECT_EQ(state.SelectedFile(), kPage);
  EXPECT_EQ(state.ResultText(), "");
}

TEST_F(RunWorkerTest, ReadsThePageOnceForModeAndProtection) {
  files.files[kPage] = kPlainPage;
  state.PublishPasswords("secret", true);
  Run(kPage);
  EXPECT_EQ(files.Count(FileOp::kRead, kPage), 1);
}

TEST_F(RunWorkerTest, RestoresAProtectedPage) {
  files.files[kPage] = ProtectedCopy(kPlainPage, "secret");
  state.PublishPasswords("secret", true);

  EXPECT_EQ(Run(kPage), RunFinished);

  const Calls expected =
      Concat(Concat({"text 1004 Enter password to decrypt HTML file :"}, kMatchCalls),
             {"text 1004 File back to normal (no protection)", "colours 1004 " + kGreenOnBackground,
              "repaint", "pause 2000"});
  EXPECT_EQ(dialog.Calls(), expected);
  const std::string& restored = files.files[kPage];
  EXPECT_NE(restored.find("<title>Notes</title>"), std::string::npos) << restored;
  EXPECT_NE(restored.find("<body bgcolor=\"white\">"), std::string::npos) << restored;
  EXPECT_NE(restored.find("<p>Alpha</p>"), std::string::npos) << restored;
  EXPECT_EQ(files.files[std::string(kPage) + ".protected"], ProtectedCopy(kPlainPage, "secret"));
}

TEST_F(RunWorkerTest, ModeComesFromTheTitleAlone) {
  struct Case {
    const char* title;
    const char* prompt;
  };
  for (const Case& c : {Case{" Kelvara ", "text 1004 Enter password to decrypt HTML file :"},
                        Case{"kelvara", "text 1004 Enter password to encrypt HTML file :"},
                        Case{"Kelvara!", "text 1004 Enter password to encrypt HTML file :"}}) {
    MemoryFileSystem pageFiles;
    pageFiles.files[kPage] =
        std::string("<html><head><title>") + c.title + "</title></head><body>x</body></html>";
    RecordingDialog pageDialog;
    RunState pageState;
    pageState.PublishPasswords("pw", true);
    RunContext run{pageDialog, pageState, pageFiles, TestRandom(), kPage, [](std::chrono::milliseconds) {}};
    RunWorker(run);
    ASSERT_FALSE(pageDialog.Calls().empty());
    EXPECT_EQ(pageDialog.Calls().front(), c.prompt) << c.title;
  }
}

// Every refusal, protection's and restoration's alike, stays on screen in red
// and leaves the page as it was.
TEST_F(RunWorkerTest, RefusalsAreShownInRedAndKeepThePage) {
  struct Case {
    const char* name;
    std::string page;
    std::string password;
    std::function<void(MemoryFileSystem&)> prepare;
    std::string_view reason;
  };
  // Key "a" shifts every byte up by 97; read back with a key 52 higher, the
  // "A" of "Alpha" comes out as a CR, which no real body line can hold.
  const std::string protectedPage = ProtectedCopy(kPlainPage, "a");
  const std::string lostItsEnd = protectedPage.substr(0, protectedPage.find("</script>"));
  const std::vector<Case> cases = {
      {"no head", "<html><title>T</title><body>x</body></html>", "pw", nullptr, kHeadMissing},
      {"no body", "<html><head><title>T</title></head></html>", "pw", nullptr, kBodyMissing},
      {"backup fails", kPlainPage, "pw",
       [](MemoryFileSystem& f) {
         f.failWhen = [](FileOp op, const std::string&) { return op == FileOp::kRename; };
       },
       kBackupFailed},
      {"read-only page", kPlainPage, "pw", [](MemoryFileSystem& f) { f.readOnly.insert(kPage); },
       kPageReadOnly},
      {"damaged protected page", lostItsEnd, "a", nullptr, kPageDamaged},
      {"wrong password", protectedPage, std::string(1, static_cast<char>(97 + 52)), nullptr,
       kWrongPassword},
      {"restore cannot replace", protectedPage, "a",
       [](MemoryFileSystem& f) {
         f.failWhen = [](FileOp op, const std::string&) { return op == FileOp::kReplace; };
       },
       kWriteFailed},
  };
  for (const Case& c : cases) {
    MemoryFileSystem pageFiles;
    pageFiles.files[kPage] = c.page;
    if (c.prepare) c.prepare(pageFiles);
    RecordingDialog pageDialog;
    RunState pageState;
    pageState.PublishPasswords(c.password, true);
    bool paused = false;
    RunContext run{pageDialog, pageState, pageFiles, TestRandom(), kPage,
                   [&paused](std::chrono::milliseconds) { paused = true; }};

    EXPECT_EQ(RunWorker(run), RunFailed) << c.name;
    const Calls calls = pageDialog.Calls();
    ASSERT_GE(calls.size(), 3u) << c.name;
    const Calls tail(calls.end() - 3, calls.end());
    EXPECT_EQ(tail, (Calls{"text 1004 " + std::string(c.reason), "colours 1004 " + kRedOnBackground,
                           "repaint"}))
        << c.name;
    EXPECT_FALSE(paused) << c.name;
    EXPECT_EQ(pageFiles.files[kPage], c.page) << c.name;
    EXPECT_EQ(pageState.ResultText(), c.reason) << c.name;
  }
}

TEST_F(RunWorkerTest, CommandLineCandidates) {
  struct Case {
    const char* tail;
    const char* selected;  // nullptr: the Open dialog is asked instead
  };
  const Case cases[] = {
      {"\"C:\\pages\\my page.HTML\"", "C:\\pages\\my page.HTML"},
      {"\"\"C:\\a.Htm\"\"", "C:\\a.Htm"},
      {"\"C:\\say \"hi\".htm\"", "C:\\say \"hi\".htm"},
      {"old.htm.bak", "old.htm.bak"},
      {"C:\\one.htm C:\\two.htm", "C:\\one.htm C:\\two.htm"},
      {"notes.txt", nullptr},
      {"\"\"", nullptr},
      {"", nullptr},
  };
  for (const Case& c : cases) {
    MemoryFileSystem pageFiles;
    RecordingDialog pageDialog;
    pageDialog.chosenFile = "C:\\chosen.htm";
    RunState pageState;
    pageState.PublishPasswords("pw", true);
    RunContext run{pageDialog, pageState, pageFiles, TestRandom(), c.tail, [](std::chrono::milliseconds) {}};
    RunWorker(run);
    const Calls calls = pageDialog.Calls();
    ASSERT_FALSE(calls.empty()) << c.tail;
    if (c.selected != nullptr) {
      EXPECT_EQ(pageState.SelectedFile(), c.selected) << c.tail;
      EXPECT_NE(calls.front(), "choose") << c.tail;
    } else {
      EXPECT_EQ(pageState.SelectedFile(), "C:\\chosen.htm") << c.tail;
      EXPECT_EQ(calls.front(), "choose") << c.tail;
    }
  }
}

TEST_F(RunWorkerTest, TwoPathsAreOneMissingPageInProtectMode) {
  state.PublishPasswords("pw", true);
  EXPECT_EQ(Run("C:\\one.htm C:\\two.htm"), RunFailed);
  const Calls calls = dialog.Calls();
  EXPECT_EQ(calls.front(), "text 1004 Enter password to encrypt HTML file :");
  EXPECT_EQ(calls[calls.size() - 3], "text 1004 " + std::string(kPageUnreadable));
  EXPECT_TRUE(files.files.empty());
}

TEST_F(RunWorkerTest, PageChosenInTheOpenDialog) {
  files.files[kPage] = kPlainPage;
  dialog.chosenFile = kPage;
  state.PublishPasswords("pw", true);
  EXPECT_EQ(Run("notes.txt"), RunFinished);
  EXPECT_EQ(dialog.Calls().front(), "choose");
  EXPECT_EQ(files.files[kPage], ProtectedCopy(kPlainPage, "pw"));
}

TEST_F(RunWorkerTest, CancelledOpenDialogEndsTheRunQuietly) {
  EXPECT_EQ(Run(""), RunFinished);
  EXPECT_EQ(dialog.Calls(), (Calls{"choose", "disable 1002", "disable 1003"}));
  EXPECT_TRUE(files.log.empty());
  EXPECT_EQ(state.SelectedFile(), "");
}

// The key of one zero byte would leave the page readable by anyone.
TEST_F(RunWorkerTest, AnEmptyPasswordIsRefusedWhenProtecting) {
  files.files[kPage] = kPlainPage;
  state.PublishPasswords("", true);
  EXPECT_EQ(Run(kPage), RunFailed);
  EXPECT_EQ(files.files[kPage], kPlainPage);
  EXPECT_EQ(state.ResultText(), kEmptyPassword);
}

TEST_F(RunWorkerTest, WaitsForTheMatchBeforeTouchingThePage) {
  files.files[kPage] = kPlainPage;
  std::thread worker([this] { Run(kPage); });
  const auto prompted = [this] {
    const Calls calls = dialog.Calls();
    return calls.size() == 1 && calls[0] == "text 1004 Enter password to encrypt HTML file :";
  };
  for (int i = 0; i < 2000 && !prompted(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(prompted());

  state.PublishPasswords("Secret", false);
  state.PublishPasswords("secret", false);  // differ only in letter case
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(dialog.Calls().size(), 1u);
  EXPECT_EQ(files.files[kPage], kPlainPage);

  state.PublishPasswords("secret", true);
  worker.join();
  EXPECT_EQ(dialog.Calls().back(), "pause 2000");
  EXPECT_EQ(files.files[kPage], ProtectedCopy(kPlainPage, "secret"));
}

TEST_F(RunWorkerTest, CloseBeforeTheRewriteLeavesThePageAlone) {
  files.files[kPage] = kPlainPage;
  state.PublishPasswords("pw", true);
  ASSERT_TRUE(state.RequestClose());
  EXPECT_EQ(Run(kPage), RunFailed);
  EXPECT_EQ(files.files[kPage], kPlainPage);
  EXPECT_EQ(files.Count(FileOp::kLock, kPage), 0);
  EXPECT_FALSE(files.files.contains(std::string(kPage) + ".original"));
}

}  // namespace
}  // namespace kelvara
