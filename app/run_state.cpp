#include "app/run_state.h"

#include <utility>

namespace kelvara {

void RunState::PublishPasswords(std::string password, bool passwordsMatch) {
  {
    std::lock_guard lock(mutex_);
    password_ = std::move(password);
    passwordsMatch_ = passwordsMatch;
  }
  if (passwordsMatch) matched_.notify_all();
}

std::string RunState::WaitForMatch() {
  std::unique_lock lock(mutex_);
  matched_.wait(lock, [this] { return passwordsMatch_; });
  return password_;
}

bool RunState::BeginRewrite() {
  std::lock_guard lock(mutex_);
  if (ending_) return false;
  rewriting_ = true;
  return true;
}

void RunState::EndRewrite() {
  std::lock_guard lock(mutex_);
  rewriting_ = false;
}

bool RunState::RequestClose() {
  std::lock_guard lock(mutex_);
  if (rewriting_) {
    closeRequested_ = true;
    return false;
  }
  ending_ = true;
  return true;
}

bool RunState::DialogShouldEnd() {
  if (Status() == WorkerStatus::RunFinished) return true;
  std::lock_guard lock(mutex_);
  if (!closeRequested_ || rewriting_) return false;
  ending_ = true;
  return true;
}

}  // namespace kelvara
