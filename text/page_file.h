#pragma once

#include <string>
#include <string_view>

#include "text/file_system.h"

namespace kelvara {

inline constexpr std::string_view kBackupFailed = "Backup failed; file unchanged.";
inline constexpr std::string_view kWriteFailed = "Write failed; file unchanged.";

// Suffix of the temporary file that a page is written to before it replaces the page.
inline constexpr std::string_view kTempSuffix = ".kelvara-tmp";

// Writes `bytes` to a temporary file beside `path`, flushes it to disk and
// then puts it in the page's place in one step, so that the page is either
// the old one or the new one, never half written. A symbolic link is
// followed and its target replaced. The temporary file never outlives a failure.
bool WriteFileAtomically(FileSystem& files, const std::string& path, std::string_view bytes);

// Rewrites a page safely: a read-only page is refused, then the page is
// copied to `backupPath`, then replaced by `bytes`. Gives an empty text on
// success, otherwise the reason; on any failure the page is as it was.
std::string_view RewritePage(FileSystem& files, const std::string& path,
                             const std::string& backupPath, std::string_view bytes);

}  // namespace kelvara
