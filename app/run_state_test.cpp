#include "app/run_state.h"

#include <gtest/gtest.h>

#include <thread>

namespace kelvara {
namespace {

// The worker waits for fields that hold the same bytes, and whatever the GUI
// thread publishes meanwhile, it gets a password that was published together
// with a match, never a newer one (nor none at all).
TEST(RunState, TheWorkerGetsThePasswordThatMatched) {
  for (int round = 0; round < 50; ++round) {
    RunState state;
    std::string got;
    std::thread worker([&] { got = state.WaitForMatch(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // it waits before anything is typed
    for (int typed = 0; typed < 6 * 37; ++typed) {              // ends on a match
      // The last match comes to a worker that is asleep again, and only the
      // match itself can wake it.
      if (typed == 6 * 37 - 1) std::this_thread::sleep_for(std::chrono::milliseconds(2));
      state.PublishPasswords(std::to_string(typed), typed % 37 == 36);
    }
    worker.join();
    EXPECT_EQ(std::stoi(got) % 37, 36) << got;
  }
}

}  // namespace
}  // namespace kelvara
