#pragma once

#include <string>
#include <string_view>

#include "cipher/page_cipher.h"
#include "scan/tag_scanner.h"
#include "text/file_system.h"
#include "text/page_file.h"

namespace kelvara {

// The product name, which is also the title of every protected page: a page
// titled exactly so is restored, any other page is protected.
inline constexpr std::string_view kProductName = "Kelvara";

inline constexpr std::string_view kHeadMissing = "<HEAD> </HEAD> tags missing.";
inline constexpr std::string_view kBodyMissing = "<BODY> </BODY> tags missing.";
// A head whose closing tag only appears once its title is cut out, as in
// "</he<title>x</title>ad>": its protected form would not read back.
inline constexpr std::string_view kHeadMalformed = "<HEAD> </HEAD> tags malformed.";
inline constexpr std::string_view kProtectedText = "File is now protected by Kelvara";

// The plain page's backup copy is the page's path followed by this.
inline constexpr std::string_view kOriginalSuffix = ".original";

// What protection keeps of a plain page.
struct PageParts {
  std::string titleText;       // the title's content, or the page's path when it has none
  std::string headExtra;       // the head's content less its title element
  std::string bodyAttributes;  // the attribute text of the body start tag
  std::string bodyText;        // the body's content less its scripts and comments
};

// True when the page's title element holds exactly the product name.
bool IsProtectedPage(TagScanner& scanner, const std::string& path);

// Takes the parts out of the page at `selectedFile`. Gives an empty text on
// success, otherwise the reason for refusing the page.
std::string ExtractPage(TagScanner& scanner, const std::string& selectedFile, PageParts& parts);

// Cuts every element from `open` (matched in any letter case) through the
// first `close` after it, searching again from the start after each cut as
// often as one is left. An element that is never closed runs to the end.
// Both markers are given in lower case.
void RemoveElements(std::string& text, std::string_view open, std::string_view close);

// The protected page, byte for byte, with its decoder script.
void WriteProtectedPage(const PageParts& parts, const PageCipher& cipher, PageSink& sink);
std::string BuildProtectedPage(const PageParts& parts, const PageCipher& cipher);

// Protects the page in place: extracts its parts, keeps a backup copy of the
// plain page beside it and replaces it with the protected page. Gives an empty
// text on success, otherwise the reason; a refused page is left as it was.
std::string ProtectPage(const std::string& selectedFile, const PageCipher& cipher,
                        TagScanner& scanner, FileSystem& files);

}  // namespace kelvara
