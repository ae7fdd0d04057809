#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// The lines of a page protected in the strong form that its writer and its
// reader both depend on. The page shows nothing of the author's: its title is
// the product name, and the page itself travels as AES-256-GCM under a
// content key that each password's key, derived with PBKDF2-HMAC-SHA256,
// wraps in a slot of its own.
namespace kelvara::strong_format {

// Every strong page starts so; no page of the default form does.
inline constexpr std::string_view kOpening =
    "<!DOCTYPE html>\r\n<html lang=\"en\">\r\n<head>\r\n<meta charset=\"utf-8\">\r\n"
    "<title>Kelvara</title>\r\n<meta name=\"robots\" content=\"noindex, nofollow\">\r\n"
    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\r\n";

// The data lines, each a call with its lead-in, its texts in quotes and ");":
// the run's salt and iteration count, a slot per password (a nonce and the
// wrapped content key), the payload (a nonce and the page's zlib stream
// encrypted) and the seal (the SHA-256 of the lines' texts, each followed by
// a LF, in hex), which tells a changed page from a wrong password.
inline constexpr std::string_view kStrongCall = "VetrakStrong(\"";
inline constexpr std::string_view kSlotCall = "VetrakSlot(\"";
inline constexpr std::string_view kPayloadCall = "VetrakPayload(\"";
inline constexpr std::string_view kSealCall = "VetrakSealed(\"";
inline constexpr std::string_view kBetween = "\", \"";
inline constexpr std::string_view kNumberBetween = "\", ";
inline constexpr std::string_view kCallEnd = "\");";
inline constexpr std::string_view kNumberEnd = ");";

// What binds a slot's and the payload's ciphertext to their use.
inline constexpr std::string_view kSlotData = "Kelvara strong key 1";
inline constexpr std::string_view kPayloadData = "Kelvara strong page 1";

inline constexpr std::size_t kSaltSize = 16;
inline constexpr std::uint32_t kIterations = 600000;
// A page that asks for more is refused as damaged, by the decoder script
// too: it would keep a run or a browser busy for minutes.
inline constexpr std::uint32_t kMostIterations = 10000000;

}  // namespace kelvara::strong_format
