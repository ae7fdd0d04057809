#pragma once

#include <cstddef>
#include <string_view>

// The lines of a protected page that its writer and its reader both depend on.
namespace kelvara::protected_format {

// Call lines: the indent, a 16-character lead-in, the hex text, a 3-character tail.
inline constexpr std::string_view kIndent = "    ";
inline constexpr std::string_view kTitleCall = "VetrakSetTitle(\"";
inline constexpr std::string_view kBodyCall = "VetrakAdd2Body(\"";
inline constexpr std::string_view kCallEnd = "\");";
inline constexpr std::size_t kCallLeadIn = 16;

// The check line, before the title line: the page's salt and the SHA-256 of
// the salt followed by the key, both in hex. A reader that knows nothing of
// it passes it by on its way to the title line.
inline constexpr std::string_view kCheckCall = "VetrakCheck(\"";
inline constexpr std::string_view kCheckBetween = "\", \"";
inline constexpr std::size_t kSaltSize = 16;
inline constexpr std::size_t kDigestSize = 32;

// The whole-page line, after the check line: the author's page byte for byte,
// deflated (a zlib stream), enciphered with the key as one text and written
// in base64. Restoring gives it back exactly; a reader that knows nothing of
// it passes it by, as it does the check line.
inline constexpr std::string_view kPageCall = "VetrakPage(\"";

// The seal line, between the "}" line and "</script>": the SHA-256 of the
// check line's two values, the whole-page line's text and the hex text of
// every call line, each followed by a LF, so that a change to the enciphered
// text is told from a wrong password.
inline constexpr std::string_view kSealStart = "var VetrakSeal = \"";
inline constexpr std::string_view kSealEnd = "\";";

// The line that ends the decoder's main function, once trimmed.
inline constexpr std::string_view kMainEnd = "}";
inline constexpr std::string_view kScriptEnd = "</script>";
inline constexpr std::string_view kHeadEnd = "</head>";

// The body line: "<body ", the plain page's body attribute text, then the
// load attribute that starts the decoder, then the rest of an empty body.
inline constexpr std::string_view kBodyStart = "<body ";
inline constexpr std::string_view kLoadAttribute = " onload=\"VetrakMain();\"";
inline constexpr std::string_view kBodyRest = "></body>";

}  // namespace kelvara::protected_format
