#pragma once

#include <string_view>

namespace kelvara {

// The fixed top of every protected page: its head up to the opening of the
// decoder's main function, LF-separated (the writer ends each line with CR
// LF). Nothing in it may hold the title line's or the check line's lead-in,
// nor "</script>".
std::string_view DecoderScript();

}  // namespace kelvara
