#pragma once

#include <string_view>

namespace kelvara {

// The fixed parts of a page in the strong form, LF-separated (the writer ends
// each line with CR LF): what goes into its head after the viewport line (the
// style and the decoder script), and what opens its body (the password form),
// before the script of the page's data lines. Neither holds a data line's
// lead-in, "<title>", or "</script>" other than the end of its own scripts.
std::string_view StrongPageHead();
std::string_view StrongPageBody();

}  // namespace kelvara
