#pragma once

#include <string_view>

// The core's texts, each defined once: what the desktop program's status line
// shows and what kelvara-cli prints after a page's path. Each front end keeps
// its own texts beside it.
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
// Rewriting one name of a file with several would leave the others as they were.
inline constexpr std::string_view kPageHasOtherNames =
    "Page has other names (hard links); file unchanged.";
inline constexpr std::string_view kPageOtherOwner = "Page belongs to another user; file unchanged.";
inline constexpr std::string_view kAccessNotKept =
    "Page's access rules cannot be kept; file unchanged.";
inline constexpr std::string_view kFolderNotWritable = "Folder is not writable; file unchanged.";
inline constexpr std::string_view kDiskFull = "Disk full; file unchanged.";
inline constexpr std::string_view kNameTooLong =
    "Name too long for a backup or temporary file; file unchanged.";
inline constexpr std::string_view kNoMemory = "Not enough memory; file unchanged.";
inline constexpr std::string_view kBackupFailed = "Backup failed; file unchanged.";
inline constexpr std::string_view kWriteFailed = "Write failed; file unchanged.";
inline constexpr std::string_view kOutputFolderFailed =
    "Output folder cannot be made; file unchanged.";

}  // namespace kelvara
