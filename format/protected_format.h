#pragma once

#include <string_view>

// The lines of a protected page that its writer and its reader both depend on.
namespace kelvara::protected_format {

// Call lines: the indent, a 16-character lead-in, the hex text, a 3-character tail.
inline constexpr std::string_view kIndent = "    ";
inline constexpr std::string_view kTitleCall = "VetrakSetTitle(\"";
inline constexpr std::string_view kBodyCall = "VetrakAdd2Body(\"";
inline constexpr std::string_view kCallEnd = "\");";
inline constexpr std::size_t kCallLeadIn = 16;

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
