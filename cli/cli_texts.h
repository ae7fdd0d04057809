#pragma once

#include <string_view>

// kelvara-cli's own texts, each defined once; the outcomes it prints after a
// page's path come from the core (format/texts.h).
namespace kelvara::cli {

inline constexpr std::string_view kProgramName = "kelvara-cli";
inline constexpr std::string_view kUsageLine =
    "usage: kelvara-cli [--protect | --restore] [--strong [--share]] [--password-stdin] "
    "[--output DIR] PATH...";
// What --help prints after the usage line.
inline constexpr std::string_view kHelpBody =
    "\n"
    "Password-protects HTML pages in place, or restores protected pages.\n"
    "Each PATH is a page, or a folder searched recursively for .htm and .html files.\n"
    "A page titled \"Kelvara\" is restored; any other page is protected.\n"
    "\n"
    "Options:\n"
    "  --protect         only protect; a page already protected is refused\n"
    "  --restore         only restore; a page not protected is refused\n"
    "  --password-stdin  read the password from the first line of standard input\n"
    "                    (at most 4096 bytes) instead of asking on the terminal\n"
    "  --output DIR      write the pages under DIR, as they lie under the folders\n"
    "                    named, and leave the pages themselves and their backups alone\n"
    "  --strong          protect in the strong form: encrypted (AES-256-GCM), with\n"
    "                    one or more passwords (one per line on standard input, or\n"
    "                    asked in turn), opened in the browser over https only\n"
    "  --share           with --strong, also print for each page a link that opens\n"
    "                    it without its password\n"
    "  -h, --help        show this help and exit\n"
    "  --version         show the version and exit\n"
    "  --                treat every later argument as a PATH\n"
    "\n"
    "On the terminal the password is asked twice, or once when every page is to be\n"
    "restored; with --strong, more passwords are asked until one is left empty.\n"
    "\n"
    "A password in UTF-8 is turned into Windows-1252 bytes, as the desktop program\n"
    "and the browser see it; any other password is used byte for byte. The strong\n"
    "form takes a password as UTF-8, so any character may be in it.\n"
    "\n"
    "Exit status: 0 when every page succeeded; 1 when a page was refused, a path\n"
    "inside a folder could not be reached or no page was found; 2 for a usage\n"
    "error (nothing is changed then).\n";
inline constexpr std::string_view kPasswordPrompt = "Password: ";
inline constexpr std::string_view kRepeatPrompt = "Repeat password: ";
inline constexpr std::string_view kAnotherPrompt = "Another password (Enter when done): ";
inline constexpr std::string_view kPasswordsDifferRetry = "The passwords differ; try again.";
inline constexpr std::string_view kTryHelp = "Try 'kelvara-cli --help'.";
inline constexpr std::string_view kOutputInsideSource =
    "Output folder lies inside a folder being read; file unchanged.";
inline constexpr std::string_view kOutputIsSource =
    "Output would replace the page itself; file unchanged.";
inline constexpr std::string_view kOutputNameTaken =
    "Another page has this output name; file unchanged.";
// What the folder walk could not reach, each printed after the path it concerns.
inline constexpr std::string_view kFolderUnreadable =
    "Folder cannot be read; its pages are left alone.";
inline constexpr std::string_view kEntryUnreadable = "Cannot be read; left alone.";
inline constexpr std::string_view kPathTooLong = "Path too long; left alone.";
// Usage errors, each printed after "kelvara-cli: ", some after a path.
inline constexpr std::string_view kNoSuchPath = "no such file or folder";
inline constexpr std::string_view kNotPageOrFolder = "neither a page nor a folder";
inline constexpr std::string_view kPathUnreadable = "cannot be read";
inline constexpr std::string_view kNamedPathTooLong = "path too long";
inline constexpr std::string_view kNamedFolderUnreadable = "folder cannot be read";
// Followed by the option in quotes, then by kDidYouMean and a known option in quotes.
inline constexpr std::string_view kUnknownOption = "unknown option";
inline constexpr std::string_view kDidYouMean = "; did you mean";
inline constexpr std::string_view kBothModes = "--protect and --restore cannot be used together";
inline constexpr std::string_view kOutputNeedsFolder = "--output needs a folder";
inline constexpr std::string_view kShareNeedsStrong = "--share needs --strong";
inline constexpr std::string_view kEmptyStrongPassword =
    "an empty password cannot protect a page in the strong form";
inline constexpr std::string_view kTooManyPasswords = "more passwords than";
inline constexpr std::string_view kNoPath = "no PATH given";
inline constexpr std::string_view kNoPasswordOnInput = "no password on standard input";
inline constexpr std::string_view kTooMuchInput =
    "standard input goes on far past the passwords it may hold";
// Followed by the longest line's length in bytes.
inline constexpr std::string_view kPasswordTooLong =
    "the password on standard input is longer than";
inline constexpr std::string_view kNoTerminal =
    "no terminal to ask the password on; use --password-stdin";
inline constexpr std::string_view kNoPasswordEntered = "no password entered";
inline constexpr std::string_view kPasswordsDiffer = "the passwords differ; nothing was changed";
// Around the character's code point and the character itself.
inline constexpr std::string_view kPasswordHolds = "the password holds";
inline constexpr std::string_view kNotInWindows1252 = ", a character that Windows-1252 lacks";
// Messages of a whole run.
inline constexpr std::string_view kNoPagesFound = "no .htm or .html pages found";
inline constexpr std::string_view kOutcomesNotWritten =
    "could not write the outcome to standard output";
// The counter on the terminal ("3/40 pages") and the summary on standard
// error ("2 protected, 1 restored, 0 refused").
inline constexpr std::string_view kPagesCounted = " pages";
inline constexpr std::string_view kSummaryProtected = " protected, ";
inline constexpr std::string_view kSummaryRestored = " restored, ";
inline constexpr std::string_view kSummaryRefused = " refused";

}  // namespace kelvara::cli
