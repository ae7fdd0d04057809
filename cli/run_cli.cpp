#include "cli/run_cli.h"

#include <algorithm>
#include <set>

#include "cipher/page_cipher.h"
#include "cipher/strong_keys.h"
#include "cli/cli_texts.h"
#include "cli/options.h"
#include "cli/page_list.h"
#include "cli/password.h"
#include "cli/progress.h"
#include "format/base64.h"
#include "format/strong_format.h"
#include "kelvara_version.h"
#include "page/run_page.h"
#include "scan/tag_scanner.h"
#include "text/windows1252.h"

namespace kelvara::cli {
namespace {

// Entries that differ this often on the terminal give the run up.
constexpr int kPasswordAttempts = 3;
// The most passwords that one strong page takes.
constexpr std::size_t kMaxPasswords = 64;

std::string ErrorLine(std::string_view message) {
  std::string line(kProgramName);
  return line.append(": ").append(message).append("\n");
}

// A page's line: its path, where it went under an output folder, and its outcome.
std::string NoteLine(const PathNote& note, const std::string& shown = {}) {
  std::string line = Printable(note.path);
  if (!shown.empty()) line.append(" -> ").append(Printable(shown));
  return line.append(": ").append(note.outcome.Text());
}

int ReportUsageError(Console& console, std::string_view message) {
  std::string text = ErrorLine(message);
  text.append(kUsageLine).append("\n").append(kTryHelp).append("\n");
  console.Err(text);
  return kExitUsage;
}

// True when a password typed once is enough: every page is to be restored.
// A mistyped password is refused there, and the protected page is kept
// beside it in any case, so a repeat would guard nothing.
bool OnlyRestoring(Mode mode, const PageList& list, FileSystem& files) {
  if (mode != Mode::Auto) return mode == Mode::Restore;
  return std::all_of(list.entries.begin(), list.entries.end(), [&](const PathNote& entry) {
    if (entry.outcome.Refused()) return true;
    const std::unique_ptr<FileBytes> page = files.Read(entry.path);
    return page != nullptr && IsProtected(page->View());
  });
}

// One password asked on the terminal, `first` the prompt, and asked again
// to make sure unless `once`; an entry that is left empty when `empty`
// allows ends the asking at once. Entries that differ are asked again.
Outcome AskPassword(Console& console, std::string_view first, bool once, bool empty,
                    std::string& password) {
  std::string prompt(first);
  for (int attempt = 0; attempt < kPasswordAttempts; ++attempt) {
    std::string repeated;
    if (!console.AskHidden(prompt, password)) return UsageError(std::string(kNoPasswordEntered));
    if (once || (empty && password.empty())) return OutcomeCode::Done;
    if (!console.AskHidden(kRepeatPrompt, repeated)) {
      return UsageError(std::string(kNoPasswordEntered));
    }
    if (password == repeated) return OutcomeCode::Done;
    // Said with the next prompt, where the prompts go: on the terminal.
    prompt.assign(kPasswordsDifferRetry).append("\n").append(first);
  }
  return UsageError(std::string(kPasswordsDiffer));
}

// Gets the run's passwords, from standard input or asked on the terminal:
// one, or with --strong as many as are given, empty ones passed by.
Outcome GetPasswords(const Options& options, const PageList& list, FileSystem& files,
                     Console& console, std::vector<std::string>& passwords) {
  passwords.clear();
  const std::size_t most = options.strong ? kMaxPasswords : 1;
  if (options.passwordStdin) {
    // One line more than a strong page takes, to tell that there are too many.
    const LineRead read = ReadLines(
        [&console](char* buffer, std::size_t size) { return console.ReadInput(buffer, size); },
        options.strong ? most + 1 : 1, passwords);
    if (read == LineRead::kNoInput) return UsageError(std::string(kNoPasswordOnInput));
    if (read == LineRead::kTooMuch) return UsageError(std::string(kTooMuchInput));
    if (read == LineRead::kTooLong) {
      return UsageError(std::string(kPasswordTooLong) + " " + std::to_string(kMaxPasswordLine) +
                        " bytes");
    }
    if (passwords.empty()) return UsageError(std::string(kNoPasswordOnInput));
    if (passwords.size() > most) {
      return UsageError(std::string(kTooManyPasswords) + " " + std::to_string(most));
    }
    return OutcomeCode::Done;
  }
  // Waiting for a password that no one can type would hang a script for good.
  if (!console.InputIsTerminal()) return UsageError(std::string(kNoTerminal));
  const bool once = OnlyRestoring(options.mode, list, files);
  std::string password;
  if (const Outcome asked = AskPassword(console, kPasswordPrompt, once, false, password);
      asked.Refused()) {
    return asked;
  }
  passwords.push_back(password);
  // Restoring takes one password, whatever form the pages have.
  while (options.strong && !once && passwords.size() < most) {
    if (const Outcome asked = AskPassword(console, kAnotherPrompt, false, true, password);
        asked.Refused()) {
      return asked;
    }
    if (password.empty()) break;
    passwords.push_back(password);
  }
  return OutcomeCode::Done;
}

// A link fragment that opens a strong page: the first password's key, in
// base64 as URLs carry it.
std::string ShareFragment(const StrongKeys& keys) {
  std::string key;
  Base64Encode(key, keys.Keys().front());
  std::replace(key.begin(), key.end(), '+', '-');
  std::replace(key.begin(), key.end(), '/', '_');
  key.erase(key.find_last_not_of('=') + 1);
  return "#kelvara=" + key;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, Console& console, FileTree& tree,
                   FileSystem& files, RandomSource& random) {
  Options options;
  const Outcome parsed = ParseOptions(args, options);
  if (options.help) {
    console.Out(HelpText());
    return console.FlushOut() ? kExitSuccess : kExitRefused;
  }
  if (options.version) {
    console.Out(std::string(kProgramName) + " " + KELVARA_VERSION + "\n");
    return console.FlushOut() ? kExitSuccess : kExitRefused;
  }
  if (parsed.Refused()) return ReportUsageError(console, parsed.Text());

  PageList list = CollectPages(options.paths, tree);
  if (!list.errors.empty()) {
    std::string text;
    for (std::size_t i = 0; i + 1 < list.errors.size(); ++i) {
      text += ErrorLine(NoteLine(list.errors[i]));
    }
    console.Err(text);
    return ReportUsageError(console, NoteLine(list.errors.back()));
  }
  if (std::none_of(list.entries.begin(), list.entries.end(),
                   [](const PathNote& entry) { return !entry.outcome.Refused(); })) {
    // What the walk could not reach is told all the same.
    for (const PathNote& entry : list.entries) console.Out(NoteLine(entry) + "\n");
    console.FlushOut();
    console.Err(ErrorLine(kNoPagesFound));
    return kExitRefused;
  }

  std::vector<std::string> passwords;
  if (const Outcome got = GetPasswords(options, list, files, console, passwords); got.Refused()) {
    return ReportUsageError(console, got.Text());
  }
  // The default form needs the password in Windows-1252. One that has no
  // such form can still open or make strong pages, and no default page.
  std::string key;
  const Outcome taken = PasswordToKey(passwords.front(), key);
  if (taken.Refused() && !options.strong && options.mode != Mode::Restore) {
    return ReportUsageError(console, taken.Text());
  }
  std::vector<std::string> texts;
  for (const std::string& password : passwords) {
    if (options.strong && password.empty()) {
      return ReportUsageError(console, kEmptyStrongPassword);
    }
    texts.push_back(AsUtf8(password));
  }
  const PageCipher cipher(key);
  StrongKeys strong = options.strong ? StrongKeys(texts, strong_format::kIterations, random)
                                     : StrongKeys(texts.front());
  const PageKeys keys(taken.Refused() ? nullptr : &cipher, &strong);
  ProgressCounter progress(list.entries.size(), console.ErrorIsTerminal(),
                           [&console](std::string_view text) { console.Err(text); });
  std::size_t protectedPages = 0;
  std::size_t restoredPages = 0;
  std::size_t refused = 0;
  std::size_t done = 0;
  std::unique_ptr<Folder> output;
  std::set<std::string> outputNames;
  bool written = true;
  progress.Show(done);
  for (PathNote& entry : list.entries) {
    // An interruption waits until the page in hand is done and told, so
    // that no page is left half-way and no temporary file behind.
    console.DeferInterruptions();
    std::string shown;
    if (!entry.outcome.Refused() && !options.output.empty()) {
      entry.outcome = OutputFor(entry, options.paths, options.output, tree, shown);
      if (!entry.outcome.Refused() && !outputNames.insert(tree.NameKey(entry.relative)).second) {
        entry.outcome = Refusal(kOutputNameTaken);
      }
      if (!entry.outcome.Refused() && !output &&
          files.OpenFolder(options.output, output) != FileStatus::Ok) {
        entry.outcome = OutcomeCode::OutputFolderFailed;
      }
    }
    if (!entry.outcome.Refused()) {
      entry.outcome =
          RunPage({entry.path, options.mode, output.get(), entry.relative}, keys, files, random);
    }
    if (entry.outcome.Code() == OutcomeCode::Protected) ++protectedPages;
    if (entry.outcome.Code() == OutcomeCode::Restored) ++restoredPages;
    if (entry.outcome.Refused()) ++refused;
    progress.Erase();
    console.Out(NoteLine(entry, shown) + "\n");
    if (options.share && entry.outcome.Code() == OutcomeCode::Protected) {
      console.Out(Printable(shown.empty() ? entry.path : shown) + ShareFragment(strong) + "\n");
    }
    written = console.FlushOut() && written;
    console.AllowInterruptions();
    progress.Show(++done);
  }
  progress.Erase();
  if (list.entries.size() > 1) {
    console.Err(std::to_string(protectedPages).append(kSummaryProtected) +
                std::to_string(restoredPages).append(kSummaryRestored) +
                std::to_string(refused).append(kSummaryRefused).append("\n"));
  }
  console.AllowInterruptions();
  if (!written) {
    console.Err(ErrorLine(kOutcomesNotWritten));
    return kExitRefused;
  }
  return refused > 0 ? kExitRefused : kExitSuccess;
}

}  // namespace kelvara::cli
