#include "scan/tag_scanner.h"

#include "text/line_reader.h"
#include "text/text.h"

namespace kelvara {
namespace {

constexpr std::string_view kScriptWriteMarker = ".document.write";
constexpr std::size_t kNone = std::string::npos;

// Fills the scan text and its lower-cased twin in one pass over the file.
void BuildScanTexts(std::string_view fileBytes, std::string& scanText, std::string& lowerText) {
  scanText.clear();
  lowerText.clear();
  scanText.reserve(fileBytes.size() + fileBytes.size() / 16);
  lowerText.reserve(scanText.capacity());
  LineReader lines(fileBytes);
  std::string_view line;
  while (lines.Next(line)) {
    line = TrimSpaces(line);
    if (line.empty()) continue;
    const std::size_t start = lowerText.size();
    lowerText.append(line);
    LowerAnsiInPlace(lowerText.data() + start, line.size());
    if (std::string_view(lowerText).substr(start).find(kScriptWriteMarker) != kNone) {
      lowerText.resize(start);
      continue;
    }
    scanText.append(line).append(kCrLf);
    lowerText.append(kCrLf);
  }
}

}  // namespace

bool FileExists(FileSystem& files, const std::string& path) {
  return files.Exists(path);
}

std::string BuildScanText(std::string_view fileBytes) {
  std::string scanText;
  std::string lowerText;
  BuildScanTexts(fileBytes, scanText, lowerText);
  return scanText;
}

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

void TagScanner::ForgetCache() {
  cached_ = false;
  cachedName_.clear();
  scanText_.clear();
  lowerScanText_.clear();
}

void TagScanner::Load(const std::string& fileName) {
  if (cached_ && cachedName_ == fileName) return;
  cached_ = true;
  cachedName_ = fileName;
  // A page that cannot be read whole scans as empty, and stays cached as such.
  std::string bytes;
  files_.Read(fileName, bytes);
  BuildScanTexts(bytes, scanText_, lowerScanText_);
}

bool TagScanner::FindTag(const std::string& fileName, std::string_view tagName, int occurrence) {
  tagAttributes_.clear();
  tagContent_.clear();
  if (!FileExists(files_, fileName) || occurrence < 1) return false;

  std::string opening = LowerAnsi(TrimSpaces(tagName));
  if (opening.empty() || opening.front() != '<') opening.insert(opening.begin(), '<');
  if (opening.back() == '>') opening.pop_back();
  const std::string closing = "</" + opening.substr(1);

  Load(fileName);
  const std::string_view text = scanText_;
  const std::string_view lower = lowerScanText_;

  // p is the position just after the opening marker of the wanted occurrence.
  std::size_t p = 0;
  for (int count = 0; count < occurrence; ++count) {
    const std::size_t found = lower.find(opening, p);
    if (found == kNone) return false;
    p = found + opening.size();
  }

  const std::size_t close = lower.find(closing, p);
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
  tagContent_ = TrimSpaces(text.substr(tagEnd + 1, close - tagEnd - 1));
  tagAttributes_ = NormaliseAttributes(TrimSpaces(text.substr(p, tagEnd - p)));
  return true;
}

}  // namespace kelvara
