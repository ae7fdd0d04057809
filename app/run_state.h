#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>

namespace kelvara {

// The worker's status: running until RunWorker returns one of the other two.
enum class WorkerStatus : int { Running = 0, RunFailed = -1, RunFinished = -2 };

// The state one run shares between the GUI thread and the worker.
//
// The GUI thread publishes the password and whether both fields match as one
// snapshot, so the worker can never pair a match with a newer, different
// password; the worker sleeps until a snapshot says they match.
//
// It also guards the rewrite of the page: a close that comes while the page
// is being written is only remembered, and the dialog ends at the first
// timer tick after the write, so the process never dies half-way through it.
class RunState {
 public:
  // GUI thread, at every change of either password field.
  void PublishPasswords(std::string password, bool passwordsMatch);
  // Worker: blocks until a published snapshot matches, then gives its password.
  std::string WaitForMatch();

  void SetWorkerStatus(WorkerStatus status) { workerStatus_.store(status); }
  WorkerStatus Status() const { return workerStatus_.load(); }

  // Worker, around the rewrite. BeginRewrite is false when the dialog is
  // already ending: the page must then not be touched at all.
  bool BeginRewrite();
  void EndRewrite();

  // GUI thread, when the user closes the dialog: true when it may end now,
  // false when the close is remembered until the rewrite is over.
  bool RequestClose();
  // GUI thread, at every timer tick: the run is over, or a remembered close
  // may now be carried out (from then on no rewrite can begin).
  bool DialogShouldEnd();

 private:
  std::mutex mutex_;
  std::condition_variable matched_;
  std::string password_;
  bool passwordsMatch_ = false;
  bool rewriting_ = false;
  bool closeRequested_ = false;
  bool ending_ = false;
  std::atomic<WorkerStatus> workerStatus_{WorkerStatus::Running};
};

}  // namespace kelvara
