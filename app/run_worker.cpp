#include "app/run_worker.h"

#include "app/command_tail.h"
#include "cipher/page_cipher.h"
#include "protect/protect_page.h"
#include "restore/restore_page.h"
#include "scan/tag_scanner.h"

namespace kelvara {
namespace {

void ShowOutcome(MainDialog& dialog, std::string_view text, Colour colour) {
  dialog.SetControlText(PromptLabel, text);
  dialog.SetLabelColours(PromptLabel, colour, DialogBackground);
  dialog.Repaint();
}

}  // namespace

int RunWorker(RunContext& run) {
  MainDialog& dialog = run.dialog;
  std::string candidate = CandidateFile(run.commandLineTail);
  const std::string selectedFile = NamesPage(candidate) ? std::move(candidate) : dialog.ChooseFile();
  if (selectedFile.empty()) {
    dialog.DisableControl(PasswordField);
    dialog.DisableControl(ConfirmField);
    return RunFinished;
  }

  // One scanner for the whole run, so the page is read once for the mode
  // decision and protection together.
  TagScanner scanner(run.files);
  const bool restoring = IsProtectedPage(scanner, selectedFile);
  dialog.SetControlText(PromptLabel, restoring ? kPromptDecrypt : kPromptEncrypt);

  const PageCipher cipher(run.state.WaitForMatch());
  dialog.DisableControl(PasswordField);
  dialog.DisableControl(ConfirmField);
  dialog.SetControlText(MatchLabel, kMatchText);
  dialog.SetLabelColours(MatchLabel, SuccessGreen, DialogBackground);
  dialog.Repaint();

  // The user closed the dialog just now: leave the page alone.
  if (!run.state.BeginRewrite()) return RunFailed;
  const Outcome outcome = restoring ? RestorePage(selectedFile, cipher, run.files)
                                    : ProtectPage(selectedFile, cipher, scanner, run.files, run.random);
  run.state.EndRewrite();

  if (outcome.Refused()) {
    ShowOutcome(dialog, outcome.Text(), FailureRed);
    return RunFailed;
  }
  ShowOutcome(dialog, outcome.Text(), SuccessGreen);
  run.pause(kSuccessPause);
  return RunFinished;
}

}  // namespace kelvara
