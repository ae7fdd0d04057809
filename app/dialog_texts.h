#pragma once

#include <string_view>

// The desktop dialog's own texts, each defined once; the outcomes it shows
// come from the core (format/texts.h).
namespace kelvara {

inline constexpr std::string_view kPromptInitial = "Password :";
inline constexpr std::string_view kPromptDecrypt = "Enter password to decrypt HTML file :";
inline constexpr std::string_view kPromptEncrypt = "Enter password to encrypt HTML file :";
inline constexpr std::string_view kPasswordFieldInitial = "Enter password";
inline constexpr std::string_view kConfirmFieldInitial = "Re-enter password";
inline constexpr std::string_view kMismatchText = "Password mismatch";
inline constexpr std::string_view kMatchText = "Passwords match";
inline constexpr std::string_view kOpenDialogTitle = "Kelvara - Select file to encrypt/decrypt";
inline constexpr std::string_view kOpenFilterName = "HTML";
inline constexpr std::string_view kOpenFilterPatterns = "*.HTM;*.HTML";
// The caption is the product name after a blank, then the credit in brackets.
inline constexpr std::string_view kCaptionName = " Kelvara";
inline constexpr std::string_view kAuthorCredit = "by the Kelvara authors";
inline constexpr std::string_view kWebSite = "https://kelvara.example/";

}  // namespace kelvara
