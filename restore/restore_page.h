#pragma once

#include <string>
#include <string_view>

#include "cipher/page_cipher.h"
#include "files/atomic_write.h"
#include "files/file_system.h"
#include "format/outcome.h"
#include "format/page_parts.h"

namespace kelvara {

// The protected page is kept under its path followed by this while it is restored.
inline constexpr std::string_view kProtectedSuffix = ".protected";

// Reads a protected page's parts back, deciphering the title and the body
// lines; `bodyText` gets every body line followed by CR LF. Refuses a page
// that is not whole, or that the password cannot have enciphered.
Outcome ReadProtectedPage(std::string_view bytes, const PageCipher& cipher, PageParts& parts);

// The plain page of fixed shape that a restored page becomes.
void WritePlainPage(const PageParts& parts, PageSink& page);

// Restores the protected page in place: locks it, and keeps it beside
// itself (its path followed by ".protected") before rewriting it, so that
// even a wrong password that no check can see on an older page loses
// nothing. With an `output` path the plain page is written there instead,
// and the page itself and its backups are left alone. A refused page is
// left as it was.
Outcome RestorePage(const std::string& selectedFile, const PageCipher& cipher, FileSystem& files,
                    const std::string& output = {});

}  // namespace kelvara
