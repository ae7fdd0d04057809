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

bool RunState::PasswordsMatch() const {
  std::lock_guard lock(mutex_);
  return passwordsMatch_;
}

void RunState::SetSelectedFile(std::string path) {
  std::lock_guard lock(mutex_);
  selectedFile_ = std::move(path);
}

std::string RunState::SelectedFile() const {
  std::lock_guard lock(mutex_);
  return selectedFile_;
}

void RunState::SetResultText(std::string text) {
  std::lock_guard lock(mutex_);
  resultText_ = std::move(text);
}

std::string RunState::ResultText() const {
  std::lock_guard lock(mutex_);
  return resultText_;
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

bool RunState::Rewriting() const {
  std::lock_guard lock(mutex_);
  return rewriting_;
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
  if (WorkerStatus() == RunFinished) return true;
  std::lock_guard lock(mutex_);
  if (!closeRequested_ || rewriting_) return false;
  ending_ = true;
  return true;
}

}  // namespace kelvara
