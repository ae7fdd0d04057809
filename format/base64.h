#pragma once

#include <string>
#include <string_view>

namespace kelvara {

// Base64 with the standard alphabet and "=" padding, no line breaks: the form
// the browser's atob() reads.
void Base64Encode(std::string& out, std::string_view bytes);

// The bytes of a text in exactly that form; false for anything else.
bool Base64Decode(std::string_view text, std::string& bytes);

}  // namespace kelvara
