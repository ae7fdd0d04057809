#pragma once

#include <string_view>

namespace kelvara {

// The fixed parts of a strong page, LF-separated (the writer ends each line
// with CR LF): the rest of its head (style and the decoder script, which
// asks for the password in the page and writes the author's page in), and
// the top of its body (the password form). Neither holds a data line's
// lead-in, nor "<title>".
std::string_view StrongPageHead();
std::string_view StrongPageBody();

}  // namespace kelvara
