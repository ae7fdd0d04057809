#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "testing/source_file.h"  // and with it std::string and std::string_view

namespace kelvara {

// A file of cases in the source tree, a row a line, its fields split at
// " | ", with C escapes (\n \r \t \\ \xHH) read as the bytes they stand for.
// Empty lines and lines that start with "#" are comments.
inline std::vector<std::vector<std::string>> TableRows(std::string_view path) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream file(SourceFile(path));
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string>& row = rows.emplace_back(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line.compare(i, 3, " | ") == 0) {
        row.emplace_back();
        i += 2;
      } else if (line[i] != '\\' || i + 1 == line.size()) {
        row.back() += line[i];
      } else if (line[++i] == 'x') {
        row.back() += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else {
        const std::size_t named = std::string_view("nrt").find(line[i]);
        row.back() += named == std::string_view::npos ? line[i] : "\n\r\t"[named];
      }
    }
  }
  EXPECT_FALSE(rows.empty()) << "no cases in " << path;
  return rows;
}

}  // namespace kelvara
