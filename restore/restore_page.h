#pragma once

#include <string>
#include <string_view>

#include "cipher/page_cipher.h"
#include "protect/protect_page.h"
#include "text/file_system.h"

namespace kelvara {

inline constexpr std::string_view kRestoredText = "File back to normal (no protection)";
inline constexpr std::string_view kPageDamaged = "Protected page is damaged.";
inline constexpr std::string_view kWrongPassword = "Wrong password; file unchanged.";

// The protected page is kept under its path followed by this while it is restored.
inline constexpr std::string_view kProtectedSuffix = ".protected";

// Reads a protected page's parts back, deciphering the title and the body
// lines; `bodyText` gets every body line followed by CR LF. Gives an empty
// text on success, otherwise the reason for refusing the page.
std::string ReadProtectedPage(std::string_view bytes, const PageCipher& cipher, PageParts& parts);

// The plain page of fixed shape that a restored page becomes.
void WritePlainPage(const PageParts& parts, PageSink& page);
std::string BuildPlainPage(const PageParts& parts);

// Restores the protected page in place. The protected page is first copied
// beside it (its path followed by ".protected"), so that even a wrong
// password that the guard cannot see loses nothing. Gives an empty text on
// success, otherwise the reason; a refused page is left as it was.
std::string RestorePage(const std::string& selectedFile, const PageCipher& cipher,
                        FileSystem& files);

}  // namespace kelvara
