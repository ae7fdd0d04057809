#pragma once

#include <string>
#include <string_view>

#include "cipher/page_cipher.h"
#include "cipher/sha256.h"
#include "cipher/strong_keys.h"
#include "files/atomic_write.h"
#include "format/outcome.h"
#include "format/page_parts.h"

namespace kelvara {

// The plain page's backup copy is the page's path followed by this.
inline constexpr std::string_view kOriginalSuffix = ".original";

// Takes the parts out of a plain page's bytes, or refuses the page. A page
// without a title element is titled `fallbackTitle`, its path.
Outcome ExtractPage(std::string_view page, std::string_view fallbackTitle, PageParts& parts);

// The protected page, byte for byte, as `parts` took the page apart: the
// decoder script, the check value made with `salt` (16 bytes), the whole page
// (`deflated`, its zlib stream, which this enciphers in place), the title and
// body lines enciphered, and the seal.
void WriteProtectedPage(std::string deflated, const PageParts& parts, const PageCipher& cipher,
                        std::string_view salt, PageSink& sink);

// The page in the strong form: nothing of it shows, the page itself is
// encrypted under a key of its own, which each of the run's keys wraps.
void WriteStrongPage(std::string_view page, const StrongKeys& keys, RandomSource& random,
                     PageSink& sink);

}  // namespace kelvara
