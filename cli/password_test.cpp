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

// Standard input handed over two bytes at a time at most, as a pipe may:
// its first line, as the default form reads it.
TEST(ReadLines, Table) {
  for (auto row : TableRows("cli/testdata/password_lines.txt")) {
    row.resize(std::max<std::size_t>(row.size(), 2));
    for (std::string& text : row) {
      if (const std::size_t at = text.find("X4096"); at != std::string::npos)
        text.replace(at, 5, kMaxPasswordLine, 'x');
      for (std::size_t at; (at = text.find("BLANKS")) != std::string::npos;)
        text.replace(at, 6, kEmptyLinesRoom, '\n');
    }
    std::string_view input = row[1];
    std::vector<std::string> lines;
    const LineRead read = ReadLines(
        [&](char* buffer, std::size_t size) {
          const std::size_t n = input.copy(buffer, std::min<std::size_t>(size, 2));
          input.remove_prefix(n);
          return n;
        },
        row.size() > 2 ? std::stoul(row[2]) : 1, lines);
    std::string got;
    for (const std::string& line : lines) got += "[" + line + "]";
    const std::string shown[] = {got, "no input", "too long", "too much"};  // by LineRead
    EXPECT_EQ(shown[static_cast<int>(read)], row[0]) << row[1];
  }
}

}  // namespace
}  // namespace kelvara::cli
