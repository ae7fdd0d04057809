#include "cli/password.h"

#include <gtest/gtest.h>

#include "testing/table.h"

namespace kelvara::cli {
namespace {

TEST(PasswordToKey, Table) {
  for (const auto& row : TableRows("cli/testdata/passwords.txt")) {
    std::string key;
    std::string error;
    EXPECT_EQ(PasswordToKey(row[0], key, error) ? key : "error: " + error, row[1]) << row[0];
  }
}

// The first line of `input`, handed over three bytes at a time at most, as
// a pipe may; `taken` counts the bytes read, of an input repeated for ever.
std::string FirstLine(const std::string& input, std::size_t* taken = nullptr) {
  std::size_t at = 0;
  std::string line;
  const LineRead read = ReadFirstLine(
      [&](char* buffer, std::size_t size) {
        std::size_t n = 0;
        for (; n < 3 && n < size && (taken != nullptr || at < input.size()); ++n) {
          buffer[n] = input[at++ % input.size()];
        }
        return n;
      },
      line);
  if (taken != nullptr) *taken = at;
  return read == LineRead::kNoInput ? "no input"
         : read == LineRead::kLine  ? "[" + line + "]"
                                    : "too long";
}

TEST(ReadFirstLine, TakesTheFirstLineUpToTheLimit) {
  for (auto row : TableRows("cli/testdata/first_lines.txt")) {
    row.resize(2);
    for (std::string& text : row) {
      if (const std::size_t at = text.find("X4096"); at != std::string::npos) {
        text.replace(at, 5, kMaxPasswordLine, 'x');
      }
    }
    EXPECT_EQ(FirstLine(row[1]), row[0]) << row[1];
  }
  std::size_t taken = 0;
  EXPECT_EQ(FirstLine(std::string(1, '\0'), &taken), "too long");
  EXPECT_EQ(taken, kMaxPasswordLine + 2);
}

}  // namespace
}  // namespace kelvara::cli
