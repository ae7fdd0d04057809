#pragma once

#include <cstddef>
#include <string>

namespace kelvara {

// Reserves room for `size` bytes in an empty text that is about to hold a
// large part of a page. Where the system allows, the room is backed by large
// memory pages: a page of several megabytes otherwise costs the kernel a
// fault for every 4 KiB it touches, which takes longer than the work done on
// the bytes.
void ReserveLargeText(std::string& text, std::size_t size);

}  // namespace kelvara
