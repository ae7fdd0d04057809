#pragma once

#include <string_view>

// Every text that either program shows, each defined once. The outcome texts
// are what the desktop program's status line shows and what kelvara-cli
// prints after a page's path.
namespace kelvara {

// The product name, which is also the title of every protected page: a page
// titled exactly so is restored, any other page is protected.
inline constexpr std::string_view kProductName = "Kelvara";

// Outcomes.
inline constexpr std::string_view kProtectedText = "File is now protected by Kelvara";
inline constexpr std::string_view kRestoredText = "File back to normal (no protection)";
inline constexpr std::string_view kHeadMissing = "<HEAD> </HEAD> tags missing.";
inline constexpr std::string_view kBodyMissing = "<BODY> </BODY> tags missing.";
// A head whose closing tag only appears once its title is cut out, as in
// "</he<title>x</title>ad>": its protected form would not read back.
inline constexpr std::string_view kHeadMalformed = "<HEAD> </HEAD> tags malformed.";
inline constexpr std::string_view kAlreadyProtected = "File is already protected by Kelvara.";
inline constexpr std::string_view kNotProtected = "File is not protected by Kelvara.";
inline constexpr std::string_view kPageDamaged = "Protected page is damaged.";
inline constexpr std::string_view kWrongPassword = "Wrong password; file unchanged.";
inline constexpr std::string_view kEmptyPassword = "Empty password; file unchanged.";
inline constexpr std::string_view kPageUnreadable = "Page cannot be read; file unchanged.";
inline constexpr std::string_view kPageReadOnly = "Page is read-only; file unchanged.";
inline constexpr std::string_view kPageBusy = "Page is busy; file unchanged.";
inline constexpr std::string_view kNameTooLong =
    "Name too long for a backup or temporary file; file unchanged.";
inline constexpr std::string_view kNoMemory = "Not enough memory; file unchanged.";
inline constexpr std::string_view kBackupFailed = "Backup failed; file unchanged.";
inline constexpr std::string_view kWriteFailed = "Write failed; file unchanged.";

// The desktop dialog.
inline constexpr std::string_view kPromptInitial = "Password :";
inline constexpr std::string_view kPromptDecrypt = "Enter password to decrypt HTML file :";
inline constexpr std::string_view kPromptEncrypt = "Enter password to encrypt HTML file :";
inline constexpr std::string_view kPasswordFieldInitial = "Enter password";
inline constexpr std::string_view kConfirmFieldInitial = "Re-enter password";
inline constexpr std::string_view kMismatchText = "Password mismatch";
inline constexpr std::string_view kMatchText = "Passwords match";
inline constexpr std::string_view kOpenDialogTitle = "Kelvara - Select file to encrypt/decrypt";
inline constexpr std::string_view kOpenFilterName = "HTML";
inline constexpr std::string_view kOpenFilterPatterns = "*.HTM;*.HTML";
// The caption is the product name after a blank, then the credit in brackets.
inline constexpr std::string_view kCaptionName = " Kelvara";
inline constexpr std::string_view kAuthorCredit = "by the Kelvara authors";
inline constexpr std::string_view kWebSite = "https://kelvara.example/";

// kelvara-cli.
inline constexpr std::string_view kProgramName = "kelvara-cli";
inline constexpr std::string_view kUsageLine =
    "usage: kelvara-cli [--protect | --restore] [--password-stdin] PATH...";
inline constexpr std::string_view kPasswordPrompt = "Password: ";
inline constexpr std::string_view kRepeatPrompt = "Repeat password: ";
inline constexpr std::string_view kPasswordsDifferRetry = "The passwords differ; try again.";
inline constexpr std::string_view kTryHelp = "Try 'kelvara-cli --help'.";
// What the folder walk could not reach, each printed after the path it concerns.
inline constexpr std::string_view kFolderUnreadable =
    "Folder cannot be read; its pages are left alone.";
inline constexpr std::string_view kEntryUnreadable = "Cannot be read; left alone.";
inline constexpr std::string_view kPathTooLong = "Path too long; left alone.";
inline constexpr std::string_view kOutputInsideSource =
    "Output folder lies inside a folder being read; file unchanged.";
inline constexpr std::string_view kOutputFolderFailed =
    "Output folder cannot be made; file unchanged.";
inline constexpr std::string_view kOutputIsSource = "Output would replace the page itself; file unchanged.";

}  // namespace kelvara
