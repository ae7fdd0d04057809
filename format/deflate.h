#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kelvara {

// The bytes as a zlib stream (a header, deflate data and an Adler-32 check),
// the form the browser's DecompressionStream("deflate") reads.
std::string Deflate(std::string_view bytes);

// Inflates a whole zlib stream, handing the bytes on in slices as they come.
// False when the stream is damaged, cut short or followed by anything, or
// when `take` refuses a slice; what was handed on until then is to be dropped.
bool Inflate(std::string_view stream, const std::function<bool(std::string_view)>& take);

}  // namespace kelvara
