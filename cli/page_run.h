#pragma once

#include <string>
#include <string_view>

#include "cipher/page_cipher.h"
#include "cipher/sha256.h"
#include "cli/options.h"
#include "files/file_system.h"
#include "format/outcome.h"
#include "scan/tag_scanner.h"

namespace kelvara::cli {

// Protects or restores one page, deciding as the desktop program does: a
// page titled exactly "Kelvara" is restored, any other is protected, unless
// `mode` insists on one way and refuses the other kind of page untouched.
// With an `output` path the page is written there, and left as it is.
Outcome RunPage(const std::string& path, Mode mode, const PageCipher& cipher,
                TagScanner& scanner, FileSystem& files, RandomSource& random,
                const std::string& output = {});

}  // namespace kelvara::cli
