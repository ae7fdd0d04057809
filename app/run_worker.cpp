#include "app/run_worker.h"

#include "app/command_tail.h"
#include "cipher/page_cipher.h"
#include "page/run_page.h"
#include "scan/tag_scanner.h"
#include "text/windows1252.h"

namespace kelvara {
namespace {

void ShowOutcome(MainDialog& dialog, std::string_view text, Colour colour) {
  dialog.SetControlText(PromptLabel, text);
  dialog.SetLabelColours(PromptLabel, colour, DialogBackground);
  dialog.Repaint();
}

}  // namespace

WorkerStatus RunWorker(RunContext& run) {
  MainDialog& dialog = run.dialog;
  std::string candidate = CandidateFile(run.commandLineTail);
  const std::string selectedFile =
      NamesPage(candidate) ? std::move(candidate) : dialog.ChooseFile();
  if (selectedFile.empty()) {
    dialog.DisableControl(PasswordField);
    dialog.DisableControl(ConfirmField);
    return WorkerStatus::RunFinished;
  }

  // Only the prompt is chosen here; the page is read again, and the way
  // decided for good, under its lock once the password is in.
  const bool restoring = [&] {
    const std::unique_ptr<FileBytes> page = run.files.Read(selectedFile);
    return page != nullptr && IsProtected(page->View());
  }();
  dialog.SetControlText(PromptLabel, restoring ? kPromptDecrypt : kPromptEncrypt);

  const std::string password = run.state.WaitForMatch();
  const PageCipher cipher(password);
  // Strong pages take the password as the browser does, in UTF-8.
  StrongKeys strong(AnsiToUtf8(password));
  dialog.DisableControl(PasswordField);
  dialog.DisableControl(ConfirmField);
  dialog.SetControlText(MatchLabel, kMatchText);
  dialog.SetLabelColours(MatchLabel, SuccessGreen, DialogBackground);
  dialog.Repaint();

  // The user closed the dialog just now: leave the page alone.
  if (!run.state.BeginRewrite()) return WorkerStatus::RunFailed;
  const Outcome outcome = RunPage({selectedFile, restoring ? Mode::Restore : Mode::Protect},
                                  PageKeys(&cipher, &strong), run.files, run.random);
  run.state.EndRewrite();

  if (outcome.Refused()) {
    ShowOutcome(dialog, outcome.Text(), FailureRed);
    return WorkerStatus::RunFailed;
  }
  ShowOutcome(dialog, outcome.Text(), SuccessGreen);
  run.pause(kSuccessPause);
  return WorkerStatus::RunFinished;
}

}  // namespace kelvara
