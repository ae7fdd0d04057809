#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Byte strings of the page: single-byte ANSI text, any byte value allowed.
namespace kelvara {

inline constexpr std::string_view kCrLf = "\r\n";
// "Not found", for every search over these strings.
inline constexpr std::size_t kNone = std::string_view::npos;

// Removes leading and trailing blanks (0x20 only: tabs, CR and LF stay).
std::string_view TrimSpaces(std::string_view text);

// True when the text holds nothing but blanks (or nothing at all).
bool IsBlank(std::string_view text);

// Lower-cases in place with the system's single-byte ANSI rules, byte by
// byte; only the table of all 256 answers is made with it.
void LowerAnsiInPlace(char* data, std::size_t size);

// A lower-cased copy. The length never changes, so positions found in it hold
// for the text.
std::string LowerAnsi(std::string_view text);

// Finds a lower-cased needle in a text as if the text were lower-cased too,
// without making the copy: pages are large, and a copy costs more than the search.
class CaselessPattern {
 public:
  // `lowerNeedle` must already be lower-cased (LowerAnsi).
  explicit CaselessPattern(std::string_view lowerNeedle);

  // The first match at or after `from`, or kNone.
  std::size_t Find(std::string_view text, std::size_t from = 0) const;
  std::size_t Size() const { return needle_.size(); }

 private:
  // True when the needle's bytes from `at` on, but for the first and the
  // last, lower-case to the needle's.
  bool MatchesInside(std::string_view text, std::size_t at) const;

  std::string needle_;
  bool firstByteIsUnique_ = true;  // only one byte lower-cases to the needle's first
  // The bytes that lower-case to the needle's last byte, when there are at
  // most two (the same one twice when there is one). Candidates are then
  // found sixteen at a time by their first and last bytes.
  unsigned char lastBytes_[2] = {0, 0};
  bool wide_ = false;
};

}  // namespace kelvara
