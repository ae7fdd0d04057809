#pragma once

#include <string>
#include <string_view>

#include "cipher/page_cipher.h"
#include "cipher/sha256.h"
#include "files/atomic_write.h"
#include "files/file_system.h"
#include "format/outcome.h"
#include "format/page_parts.h"
#include "scan/tag_scanner.h"

namespace kelvara {

// The plain page's backup copy is the page's path followed by this.
inline constexpr std::string_view kOriginalSuffix = ".original";

// True when the page's title element holds exactly the product name.
bool IsProtectedPage(TagScanner& scanner, const std::string& path);

// Takes the parts out of the page at `selectedFile`, or refuses the page.
Outcome ExtractPage(TagScanner& scanner, const std::string& selectedFile, PageParts& parts);

// The protected page, byte for byte, with its decoder script and the check
// value made with `salt` (16 bytes).
void WriteProtectedPage(const PageParts& parts, const PageCipher& cipher, std::string_view salt,
                        PageSink& sink);

// Protects the page in place: locks it, extracts its parts, keeps a backup
// copy of the plain page beside it and replaces it with the protected page.
// With an `output` path the protected page is written there instead, and the
// page itself and its backups are left alone. A refused page is left as it
// was. A key that enciphers nothing is refused: the page would go out
// readable by anyone. `random` gives the page's salt.
Outcome ProtectPage(const std::string& selectedFile, const PageCipher& cipher,
                    TagScanner& scanner, FileSystem& files, RandomSource& random,
                    const std::string& output = {});

}  // namespace kelvara
