#include "scan/tag_scanner.h"

#include <algorithm>

#include "format/texts.h"
#include "text/large_text.h"

namespace kelvara {
namespace {

// The scan text grows at least by this much, or by its own size, at a time.
constexpr std::size_t kScanStep = std::size_t{64} << 10;
// How far ahead of a line ".document.write" is looked for at least: far
// enough to pass many lines in one search, near enough that finding the
// title of a large page does not read all of it.
constexpr std::size_t kLookAhead = std::size_t{64} << 10;

// Appends the scan text of the next lines until it has grown by `atLeast`;
// false when the lines ran out first.
bool AppendScanText(ScanLines& lines, std::size_t atLeast, std::string& scanText) {
  const std::size_t goal = scanText.size() + atLeast;
  std::string_view line;
  while (scanText.size() < goal) {
    if (!lines.Next(line)) return false;
    scanText.append(line).append(kCrLf);
  }
  return true;
}

// Removes every run of blanks directly before or after an "=".
std::string NormaliseAttributes(std::string_view text) {
  // Repeating "replace ' =' by '='" until none is left removes each whole run
  // of blanks before an "="; the same goes for "= " after it. One pass each
  // does that in linear time.
  std::string before;
  before.reserve(text.size());
  for (const char c : text) {
    if (c == '=') {
      while (!before.empty() && before.back() == ' ') before.pop_back();
    }
    before.push_back(c);
  }
  std::string result;
  result.reserve(before.size());
  for (const char c : before) {
    if (c == ' ' && !result.empty() && result.back() == '=') continue;
    result.push_back(c);
  }
  return result;
}

}  // namespace

bool ScanLines::Next(std::string_view& line) {
  while (lines_.Next(line)) {
    line = TrimSpaces(line);
    if (!line.empty() && !HoldsScriptWrite(line)) return true;
  }
  return false;
}

// The needle holds no line break, so a match in the page lies within one line.
bool ScanLines::HoldsScriptWrite(std::string_view line) {
  const auto start = static_cast<std::size_t>(line.data() - page_.data());
  const std::size_t end = start + line.size();
  const bool known = found_ != kNone ? found_ >= start : end <= searchedTo_;
  if (!known) {
    searchedTo_ = std::min(page_.size(), std::max(end, start + kLookAhead));
    found_ = scriptWrite_.Find(page_.substr(0, searchedTo_), start);
  }
  return found_ != kNone && found_ + scriptWrite_.Size() <= end;
}

TagScanner::TagScanner(std::string_view page) : unscanned_(page) {
  ReserveLargeText(scanText_, page.size() + page.size() / 16);  // untouched until used
}

std::string TagScanner::TakeTagContent() {
  std::string content = std::move(scanText_);
  content.resize(contentAt_ + contentSize_);
  content.erase(0, contentAt_);
  *this = TagScanner({});
  return content;
}

bool TagScanner::ScanMore() {
  if (scanned_) return false;
  if (!AppendScanText(unscanned_, std::max(kScanStep, scanText_.size()), scanText_)) {
    scanned_ = true;
  }
  return true;
}

std::size_t TagScanner::Search(const CaselessPattern& pattern, std::size_t from) {
  for (;;) {
    const std::size_t found = pattern.Find(scanText_, from);
    if (found != kNone) return found;
    // A match may yet begin in the last few bytes, once the next line is in.
    const std::size_t size = scanText_.size();
    const std::size_t overlap = pattern.Size() - 1;  // markers hold "<" at least
    if (size > overlap) from = std::max(from, size - overlap);
    if (!ScanMore()) return kNone;
  }
}

bool TagScanner::FindTag(std::string_view tagName, int occurrence) {
  tagAttributes_.clear();
  contentAt_ = contentSize_ = 0;
  if (occurrence < 1) return false;

  std::string opening = LowerAnsi(TrimSpaces(tagName));
  if (opening.empty() || opening.front() != '<') opening.insert(opening.begin(), '<');
  if (opening.back() == '>') opening.pop_back();
  const CaselessPattern openingMarker(opening);
  const CaselessPattern closingMarker("</" + opening.substr(1));

  // p is the position just after the opening marker of the wanted occurrence.
  std::size_t p = 0;
  for (int count = 0; count < occurrence; ++count) {
    const std::size_t found = Search(openingMarker, p);
    if (found == kNone) return false;
    p = found + openingMarker.Size();
  }

  // Without a closing tag the whole page is scanned by now. With one,
  // nothing after it matters: a "/>" or a ">" beyond it decides the same as
  // none at all.
  const std::size_t close = Search(closingMarker, p);
  const std::string_view text = std::string_view(scanText_).substr(0, close);
  const std::size_t selfClose = text.find("/>", p);
  if (close == kNone && selfClose == kNone) return false;

  if (selfClose != kNone && (close == kNone || close > selfClose)) {
    const std::string_view inside = text.substr(p, selfClose - p);
    if (inside.find('<') == kNone) {
      tagAttributes_ = NormaliseAttributes(TrimSpaces(inside));
      return true;
    }
    // That "/>" ends some other tag; the closing tag decides.
  }

  if (close == kNone) return false;
  // An opening tag that no ">" ends is malformed: not found.
  const std::size_t tagEnd = text.find('>', p);
  if (tagEnd == kNone || close <= tagEnd + 1) return false;
  const std::string_view content = TrimSpaces(text.substr(tagEnd + 1, close - tagEnd - 1));
  if (!content.empty()) {
    contentAt_ = static_cast<std::size_t>(content.data() - scanText_.data());
    contentSize_ = content.size();
  }
  tagAttributes_ = NormaliseAttributes(TrimSpaces(text.substr(p, tagEnd - p)));
  return true;
}

bool IsProtected(std::string_view page) {
  TagScanner scanner(page);
  return scanner.FindTag("title", 1) && scanner.TagContent() == kProductName;
}

}  // namespace kelvara
