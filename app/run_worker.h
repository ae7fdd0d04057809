#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "app/main_dialog.h"
#include "app/run_state.h"
#include "cipher/sha256.h"
#include "files/file_system.h"

namespace kelvara {

// How long the success text stays up before the dialog closes by itself.
inline constexpr std::chrono::milliseconds kSuccessPause{2000};

// Everything one run works with. The pause is injected so that tests need
// not wait for real.
struct RunContext {
  MainDialog& dialog;
  RunState& state;
  FileSystem& files;
  RandomSource& random;
  std::string commandLineTail;
  std::function<void(std::chrono::milliseconds)> pause;
};

// The worker's whole job: choose the page, decide from its title whether to
// protect or restore it, wait for matching passwords, do it and show the
// outcome. Gives RunFinished or RunFailed.
WorkerStatus RunWorker(RunContext& run);

}  // namespace kelvara
