#pragma once

#include <string>
#include <string_view>

namespace kelvara {

// The command line less the program's own name. A quoted name runs to the
// next double quote, an unquoted one to the first byte 0x20 or below; blanks
// right after the name go with it.
std::string_view CommandLineTail(std::string_view commandLine);

// The tail with every double quote at its start and at its end removed;
// quotes inside, and blanks anywhere, stay.
std::string CandidateFile(std::string_view tail);

// True when the candidate names a page: it holds ".htm" in any letter case.
// Whether such a file exists is left to the run.
bool NamesPage(std::string_view candidate);

}  // namespace kelvara
