#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// What each platform's crypto library does for strong_crypto.cpp, which has
// already held the arguments to the sizes and limits of strong_crypto.h: the
// key and nonce have their sizes, counts and texts fit the libraries' 32-bit
// sizes, and the ciphertext and tag are apart.
namespace kelvara::strong_library {

std::string Pbkdf2Sha256(std::string_view password, std::string_view salt, std::uint32_t iterations,
                         std::size_t length);

// The ciphertext followed by the tag.
std::string SealAesGcm(std::string_view key, std::string_view nonce, std::string_view aad,
                       std::string_view plain);

// False when the tag does not match; `plain` gets the text only when it does,
// and a text that failed is wiped.
bool OpenAesGcm(std::string_view key, std::string_view nonce, std::string_view aad,
                std::string_view ciphertext, std::string_view tag, std::string& plain);

}  // namespace kelvara::strong_library
