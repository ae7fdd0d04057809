#include "app/command_tail.h"

#include "text/text.h"

namespace kelvara {

std::string_view CommandLineTail(std::string_view commandLine) {
  std::size_t nameEnd = 0;
  if (commandLine.starts_with('"')) {
    const std::size_t close = commandLine.find('"', 1);
    nameEnd = close == std::string_view::npos ? commandLine.size() : close + 1;
  } else {
    while (nameEnd < commandLine.size() &&
           static_cast<unsigned char>(commandLine[nameEnd]) > 0x20) {
      ++nameEnd;
    }
  }
  while (nameEnd < commandLine.size() && commandLine[nameEnd] == ' ') ++nameEnd;
  return commandLine.substr(nameEnd);
}

std::string CandidateFile(std::string_view tail) {
  while (tail.starts_with('"')) tail.remove_prefix(1);
  while (tail.ends_with('"')) tail.remove_suffix(1);
  return std::string(tail);
}

bool NamesPage(std::string_view candidate) {
  return LowerAnsi(candidate).find(".htm") != std::string::npos;
}

}  // namespace kelvara
