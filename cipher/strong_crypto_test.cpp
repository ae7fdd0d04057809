#include "cipher/strong_crypto.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <tuple>

#include "cipher/page_cipher.h"
#include "testing/source_file.h"

namespace kelvara {
namespace {

using namespace std::string_literals;

// The next field of a line of known answers: hex bytes, or "-" for none.
std::string Bytes(std::istringstream& line) {
  std::string hex;
  std::string bytes;
  line >> hex;
  EXPECT_TRUE(hex == "-" || (!hex.empty() && ReadHex(hex, bytes))) << "field: " << hex;
  return bytes;
}

std::string Changed(std::string bytes, std::size_t at) {
  bytes.at(at) ^= 0x01;
  return bytes;
}

// Each published answer, both ways; then each vector with one thing changed
// (a byte of ciphertext or tag, the key, the nonce, the additional data, the
// length) must be refused, giving nothing, and a key or nonce of another
// size must throw rather than be read past its end.
TEST(StrongCrypto, PublishedAnswersAndRefusals) {
  std::istringstream file(SourceFile("cipher/testdata/strong_vectors.txt"));
  int derivations = 0;
  int seals = 0;
  for (std::string text; std::getline(file, text);) {
    if (text.empty() || text[0] == '#') continue;
    SCOPED_TRACE(text);
    std::istringstream line(text);
    std::string kind;
    line >> kind;
    if (kind == "pbkdf2") {
      ++derivations;
      const std::string password = Bytes(line), salt = Bytes(line);
      std::uint32_t iterations = 0;
      line >> iterations;
      const std::string key = Bytes(line);
      EXPECT_EQ(Hex(DeriveKey(password, salt, iterations, key.size())), Hex(key));
      // A shorter key is the start of the longer one; by default, an AES key's worth.
      EXPECT_EQ(Hex(DeriveKey(password, salt, iterations)), Hex(key.substr(0, kAesGcmKeySize)));
      EXPECT_THROW(DeriveKey(password, salt, 0), std::invalid_argument);
      EXPECT_THROW(DeriveKey(password, salt, iterations, 0), std::invalid_argument);
      continue;
    }
    ASSERT_EQ(kind, "gcm");
    ++seals;
    const std::string key = Bytes(line), nonce = Bytes(line), aad = Bytes(line);
    const std::string plain = Bytes(line), ciphertext = Bytes(line);
    const std::string sealed = SealAesGcm(key, nonce, aad, plain);
    EXPECT_EQ(Hex(sealed), Hex(ciphertext + Bytes(line)));
    std::string opened = "left over";
    EXPECT_TRUE(OpenAesGcm(key, nonce, aad, sealed, opened) && opened == plain);
    const std::string otherAad = aad.empty() ? "\0"s : Changed(aad, aad.size() - 1);
    for (const auto& [k, n, a, s] : {std::tuple{key, nonce, aad, Changed(sealed, 0)},
                                     {key, nonce, aad, Changed(sealed, ciphertext.size())},
                                     {key, nonce, aad, Changed(sealed, sealed.size() - 1)},
                                     {Changed(key, kAesGcmKeySize - 1), nonce, aad, sealed},
                                     {key, Changed(nonce, kAesGcmNonceSize - 1), aad, sealed},
                                     {key, nonce, otherAad, sealed},
                                     {key, nonce, aad, sealed.substr(0, sealed.size() - 1)}}) {
      opened = "left over";
      EXPECT_TRUE(!OpenAesGcm(k, n, a, s, opened) && opened.empty());
    }
    EXPECT_THROW(SealAesGcm(key.substr(1), nonce, aad, plain), std::invalid_argument);
    EXPECT_THROW(OpenAesGcm(key, nonce + '\0', aad, sealed, opened), std::invalid_argument);
  }
  EXPECT_EQ(derivations, 2);
  EXPECT_EQ(seals, 4);
}

}  // namespace
}  // namespace kelvara
