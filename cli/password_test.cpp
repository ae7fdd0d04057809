#include "cli/password.h"

#include <gtest/gtest.h>

#include "testing/table.h"

namespace kelvara::cli {
namespace {

TEST(PasswordToKey, Table) {
  for (const auto& row : TableRows("cli/testdata/passwords.txt")) {
    std::string key;
    const Outcome outcome = PasswordToKey(row[0], key);
    EXPECT_EQ(outcome.Refused() ? "error: " + std::string(outcome.Text()) : key, row[1]) << row[0];
  }
}

// Standard input handed over three bytes at a time at most, as a pipe may.
TEST(ReadFirstLine, Table) {
  for (auto row : TableRows("cli/testdata/first_lines.txt")) {
    row.resize(2);
    for (std::string& text : row) {
      if (const std::size_t at = text.find("X4096"); at != std::string::npos)
        text.replace(at, 5, kMaxPasswordLine, 'x');
    }
    std::string_view input = row[1];
    std::string line;
    const LineRead read = ReadFirstLine(
        [&](char* buffer, std::size_t size) {
          const std::size_t n = input.copy(buffer, std::min<std::size_t>(size, 3));
          input.remove_prefix(n);
          return n;
        },
        line);
    const std::string shown[] = {"[" + line + "]", "no input", "too long"};  // by LineRead
    EXPECT_EQ(shown[static_cast<int>(read)], row[0]) << row[1];
  }
}

}  // namespace
}  // namespace kelvara::cli
