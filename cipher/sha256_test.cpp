#include "cipher/sha256.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "cipher/page_cipher.h"
#include "testing/source_file.h"

namespace kelvara {
namespace {

std::string Bytes(const std::string& hex) {
  std::string bytes;
  if (hex != "-") {
    EXPECT_TRUE(ReadHexDigits(hex, bytes)) << hex;
  }
  return bytes;
}

// The known answers that the decoder script in the browser is held to as well.
TEST(Sha256, KnownAnswersAndCheckValues) {
  std::istringstream file(SourceFile("cipher/testdata/sha256_vectors.txt"));
  ASSERT_FALSE(file.str().empty()) << "sha256_vectors.txt is missing";
  int vectors = 0;
  for (std::string line; std::getline(file, line);) {
    std::istringstream fields(line);
    std::string kind;
    fields >> kind;
    if (kind == "sha256") {
      std::string message;
      std::size_t times = 0;
      std::string digest;
      fields >> message >> times >> digest;
      std::string whole;
      for (std::size_t i = 0; i < times; ++i) whole += Bytes(message);
      EXPECT_EQ(HexDigits(Sha256Of(whole)), digest) << line.substr(0, 40);
      // Pieces below, at and above the size that is gathered before hashing.
      Sha256 hash;
      for (std::size_t at = 0, step = 1; at < whole.size(); at += step, step = step * 37 % 150001) {
        hash.Update(std::string_view(whole).substr(at, step));
      }
      EXPECT_EQ(HexDigits(hash.Finish()), digest) << "in pieces: " << line.substr(0, 40);
    } else if (kind == "check") {
      std::string salt;
      std::string key;
      std::string check;
      fields >> salt >> key >> check;
      EXPECT_EQ(HexDigits(PageCipher(Bytes(key)).CheckValue(Bytes(salt))), check) << line;
    } else {
      continue;
    }
    ++vectors;
  }
  EXPECT_EQ(vectors, 10);
}

}  // namespace
}  // namespace kelvara
