#include "app/dialog_events.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "testing/recording_dialog.h"
#include "app/run_worker.h"
#include "testing/memory_file_system.h"
#include "testing/fixed_random.h"

namespace kelvara {
namespace {

TEST(Bounce, TopEdgeByPhase) {
  const std::pair<int, int> table[] = {{0, 100}, {1, 95}, {2, 90}, {4, 80},  {8, 62},  {16, 29},
                                       {24, 8},  {29, 1}, {30, 0}, {31, 0},  {32, 0},  {33, 0},
                                       {34, 0},  {35, 1}, {40, 8}, {48, 29}, {56, 62}, {63, 95}};
  for (const auto& [phase, top] : table) EXPECT_EQ(BounceTop(phase), top) << "phase " << phase;
}

TEST(Bounce, TimerStepsGoRoundSixtyFourPhases) {
  RunState state;
  int phase = 0;
  EXPECT_EQ(TimerStep(phase, state).imageTop, 95);  // the first step already moves
  EXPECT_EQ(phase, 1);
  for (int i = 0; i < 62; ++i) TimerStep(phase, state);
  EXPECT_EQ(phase, 63);
  const TimerTick wrapped = TimerStep(phase, state);
  EXPECT_EQ(phase, 0);
  EXPECT_EQ(wrapped.imageTop, 100);
  EXPECT_FALSE(wrapped.endDialog);
}

TEST(TimerStep, EndsTheDialogOnlyAfterRunFinished) {
  RunState state;
  int phase = 0;
  EXPECT_FALSE(TimerStep(phase, state).endDialog);
  state.SetWorkerStatus(RunFailed);
  EXPECT_FALSE(TimerStep(phase, state).endDialog);
  state.SetWorkerStatus(RunFinished);
  EXPECT_TRUE(TimerStep(phase, state).endDialog);
}

TEST(ChangeStep, MatchesOnlyByteEqualTexts) {
  struct Case {
    const char* password;
    const char* confirm;
    bool match;
  };
  for (const Case& c : {Case{"secret", "secret", true}, Case{"secret", "Secret", false},
                        Case{"secret", "secre", false}, Case{"", "", true},
                        Case{"Enter password", "Re-enter password", false}}) {
    RunState state;
    ChangeStep(state, c.password, c.confirm);
    EXPECT_EQ(state.PasswordsMatch(), c.match) << c.password << " / " << c.confirm;
    if (c.match) {
      EXPECT_EQ(state.WaitForMatch(), c.password);
    }
  }
}

TEST(ChangeStep, AFurtherKeystrokeClearsTheMatch) {
  RunState state;
  ChangeStep(state, "abc", "abc");
  ChangeStep(state, "abc", "abcd");
  std::atomic<bool> passed = false;
  std::thread worker([&] {
    state.WaitForMatch();
    passed = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(passed);
  ChangeStep(state, "abcd", "abcd");
  worker.join();
  EXPECT_TRUE(passed);
}

// The worker must never pair a match with a password that did not match:
// whatever the GUI thread publishes meanwhile, the password it gets is one
// that was published together with a match.
TEST(RunState, PasswordAndMatchArriveAsOneSnapshot) {
  for (int round = 0; round < 50; ++round) {
    RunState state;
    std::string got;
    std::thread worker([&] { got = state.WaitForMatch(); });
    std::thread gui([&] {
      for (int i = 0; i < 6 * 37; ++i) {  // ends on a match
        std::string typed = "p";
        typed += std::to_string(i);
        ChangeStep(state, typed, i % 37 == 36 ? typed : "x");
      }
    });
    gui.join();
    worker.join();
    ASSERT_GE(got.size(), 2u);
    EXPECT_EQ(std::stoi(got.substr(1)) % 37, 36) << got;
  }
}

TEST(RunState, CloseOutsideTheRewriteEndsAtOnceAndBlocksTheRewrite) {
  RunState state;
  EXPECT_TRUE(state.RequestClose());
  EXPECT_FALSE(state.BeginRewrite());
  EXPECT_FALSE(state.Rewriting());
}

// A page that takes long to write: the timer keeps stepping, a close is only
// remembered, and the dialog ends at the first step after the write.
TEST(RunState, TimerGoesOnWhileThePageIsBeingProtected) {
  const std::string page = "C:\\slow.htm";
  MemoryFileSystem files;
  files.files[page] = "<html><head><title>T</title></head><body>x</body></html>";
  std::mutex mutex;
  std::condition_variable released;
  bool release = false;
  std::atomic<bool> writing = false;
  files.failWhen = [&](FileOp op, const std::string&) {
    if (op == FileOp::kReplace) {
      writing = true;
      std::unique_lock lock(mutex);
      released.wait(lock, [&] { return release; });
    }
    return false;
  };
  RecordingDialog dialog;
  RunState state;
  ChangeStep(state, "pw", "pw");
  std::atomic<bool> paused = false;
  RunContext run{dialog, state, files, TestRandom(), page, [&](std::chrono::milliseconds) { paused = true; }};
  std::thread worker([&] { state.SetWorkerStatus(RunWorker(run)); });

  for (int i = 0; i < 5000 && !writing; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(writing);
  ASSERT_TRUE(state.Rewriting());

  int phase = 0;
  std::set<int> tops;
  for (int i = 0; i < 40; ++i) {
    const TimerTick tick = TimerStep(phase, state);
    EXPECT_FALSE(tick.endDialog);
    tops.insert(tick.imageTop);
  }
  EXPECT_GT(tops.size(), 10u);
  EXPECT_FALSE(state.RequestClose());  // remembered, not carried out
  EXPECT_FALSE(TimerStep(phase, state).endDialog);

  {
    std::lock_guard lock(mutex);
    release = true;
  }
  released.notify_all();
  // The remembered close may be carried out from the first tick after the
  // rewrite on, so no tick is taken until it has ended.
  for (int i = 0; i < 5000 && state.Rewriting(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_FALSE(state.Rewriting());
  EXPECT_TRUE(TimerStep(phase, state).endDialog);
  worker.join();
  EXPECT_NE(files.files[page].find("VetrakMain"), std::string::npos);  // written whole
}

}  // namespace
}  // namespace kelvara
