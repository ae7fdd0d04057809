#include "app/command_tail.h"

#include <gtest/gtest.h>

#include "testing/table.h"

namespace kelvara {
namespace {

TEST(CommandLine, Table) {
  for (const auto& row : TableRows("app/testdata/command_lines.txt")) {
    EXPECT_EQ(CommandLineTail(row[0]), row[1]) << row[0];
    const std::string candidate = CandidateFile(row[1]);
    EXPECT_EQ(NamesPage(candidate) ? candidate : "(Open dialog)", row[2]) << row[0];
  }
}

}  // namespace
}  // namespace kelvara
