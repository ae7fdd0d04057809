#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "format/page_parts.h"

// Plain renderings of the page format's rules, written from their
// definitions and not from the product's code, for tests and fuzz targets to
// hold the product against.
namespace kelvara::reference {

// The page's lines: a line ends at CR or at CR LF, a lone LF is part of it,
// a byte 0x1A ends the file, and the last line needs no terminator.
std::vector<std::string_view> Lines(std::string_view bytes);

// Deciphers hex text two characters at a time, as the cipher is defined:
// each pair read as far as its characters are hex digits, minus the key byte
// at the cycling position, modulo 256.
std::string DecodeHex(std::string_view hex, std::string_view key);

// Reads a protected page step by step as a reader that knows nothing of the
// check value does. Gives the refusal text: the page is damaged when a line
// it waits for is missing, the password wrong when a body line holds a CR or
// a byte 0x1A, which no page's line can hold; empty when the page was read.
std::string Read(std::string_view bytes, std::string_view key, PageParts& parts);

// The plain page of fixed shape that restoring gives, from what was read.
std::string PlainPage(const PageParts& parts);

// The product held to the reading above, on any bytes and password; each
// gives what went wrong, or nothing. Restoring `page` as it is must give the
// same verdict as Read and, on success, keep the page beside itself and put
// the plain page of what Read takes in its place (a page with a check value
// or a seal is left to the round trip and the golden cases). Protecting
// `page` must refuse as the password and the page's parts say; restoring
// what it wrote must give back the page byte for byte, and Read must read
// from it what protection took: the title, the body attributes, the body's
// non-blank pieces in order and the head extra's lines trimmed. A refusal
// never changes a file.
std::string RestoreFault(const std::string& password, const std::string& page);
std::string RoundTripFault(const std::string& password, const std::string& page);

}  // namespace kelvara::reference
