#pragma once

#include <string>
#include <string_view>

#include "cipher/page_cipher.h"
#include "cli/options.h"
#include "scan/tag_scanner.h"
#include "text/file_system.h"

namespace kelvara::cli {

inline constexpr std::string_view kAlreadyProtected = "File is already protected by Kelvara.";
inline constexpr std::string_view kNotProtected = "File is not protected by Kelvara.";

struct PageOutcome {
  bool succeeded = false;
  // The text the desktop program would show for the page: its success text
  // or the reason it was refused.
  std::string text;
};

// Protects or restores one page, deciding as the desktop program does: a
// page titled exactly "Kelvara" is restored, any other is protected, unless
// `mode` insists on one way and refuses the other kind of page untouched.
// The scanner starts afresh on every page, so a page rewritten earlier in
// the run is never judged by its old text.
PageOutcome RunPage(const std::string& path, Mode mode, const PageCipher& cipher,
                    TagScanner& scanner, FileSystem& files);

}  // namespace kelvara::cli
