// FindTag on arbitrary page bytes and tag names, held against a plain,
// step-by-step rendering of the scanner's rules. The scanner itself is built
// for speed (a lower-cased twin of the scan text, one-pass normalising, a
// cache); this rendering is built to be obviously right.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "scan/tag_scanner.h"
#include "testing/memory_file_system.h"
#include "text/text.h"

namespace kelvara::fuzz {
namespace {

constexpr std::size_t kNone = std::string::npos;

std::string ReferenceScanText(std::string_view bytes) {
  std::string text;
  for (const std::string_view rawLine : SplitLines(BeforeEndOfFile(bytes))) {
    const std::string_view line = Trim(rawLine);
    if (line.empty() || LowerAnsi(line).find(".document.write") != kNone) continue;
    text.append(line).append("\r\n");
  }
  return text;
}

std::string ReplaceAll(const std::string& text, std::string_view from, std::string_view to) {
  std::string out;
  std::size_t at = 0;
  for (std::size_t hit; (hit = text.find(from, at)) != kNone; at = hit + from.size()) {
    out.append(text, at, hit - at).append(to);
  }
  out.append(text, at);
  return out;
}

std::string ReferenceNormalise(std::string_view attributes) {
  std::string text(attributes);
  while (text.find(" =") != kNone) text = ReplaceAll(text, " =", "=");
  while (text.find("= ") != kNone) text = ReplaceAll(text, "= ", "=");
  return text;
}

struct Found {
  bool found = false;
  std::string attributes;
  std::string content;
};

Found ReferenceFindTag(const std::string& scanText, std::string_view tagName, int occurrence) {
  if (occurrence < 1) return {};
  std::string opening = LowerAnsi(Trim(tagName));
  if (opening.empty() || opening.front() != '<') opening.insert(0, "<");
  if (opening.back() == '>') opening.pop_back();
  const std::string closing = "</" + opening.substr(1);
  const std::string lower = LowerAnsi(scanText);

  std::size_t p = 0;
  for (int count = 0; count < occurrence; ++count) {
    const std::size_t at = lower.find(opening, p);
    if (at == kNone) return {};
    p = at + opening.size();
  }
  const std::size_t c = lower.find(closing, p);
  const std::size_t s = scanText.find("/>", p);
  if (c == kNone && s == kNone) return {};
  if (s != kNone && (c == kNone || c > s)) {
    const std::string_view a = std::string_view(scanText).substr(p, s - p);
    if (a.find('<') == kNone) return {true, ReferenceNormalise(Trim(a)), ""};
  }
  if (c == kNone) return {};
  const std::size_t g = scanText.find('>', p);
  if (g == kNone || c <= g + 1) return {};
  const std::string_view text = scanText;
  return {true, ReferenceNormalise(Trim(text.substr(p, g - p))),
          std::string(Trim(text.substr(g + 1, c - g - 1)))};
}

void Compare(TagScanner& scanner, const std::string& scanText, const std::string& path,
             std::string_view tagName, int occurrence) {
  const bool found = scanner.FindTag(path, tagName, occurrence);
  const Found wanted = ReferenceFindTag(scanText, tagName, occurrence);
  if (found != wanted.found) {
    Fail("whether the element is found, at occurrence " + std::to_string(occurrence),
         found ? "found" : "not found", wanted.found ? "found" : "not found");
  }
  RequireEqual(scanner.TagAttributes(), wanted.attributes, "attribute text");
  RequireEqual(scanner.TagContent(), wanted.content, "content");
}

}  // namespace
}  // namespace kelvara::fuzz

// Input: the first byte picks the occurrence (the digits 0 to 3 stand for
// themselves), the rest of the first line is the tag name, then the page.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvara;
  using namespace kelvara::fuzz;
  const FuzzInput input = SplitInput(data, size);
  const int occurrence =
      input.firstLine.empty() ? 1 : static_cast<unsigned char>(input.firstLine[0]) % 4;
  const std::string_view tagName = input.firstLine.empty() ? "" : input.firstLine.substr(1);

  const std::string path = "page.htm";
  MemoryFileSystem files;
  files.files[path] = std::string(input.page);
  const std::string scanText = ReferenceScanText(input.page);
  RequireEqual(BuildScanText(input.page), scanText, "scan text");

  // One scanner for all calls, as in a run: every answer must come from the
  // cached scan text and match what a fresh reading gives.
  TagScanner scanner(files);
  Compare(scanner, scanText, path, tagName, occurrence);
  for (const std::string_view name : {"title", "head", "body"})
    Compare(scanner, scanText, path, name, 1);

  Require(!scanner.FindTag("missing.htm", tagName, 1),
          "found an element in a file that does not exist");
  Require(scanner.TagAttributes().empty() && scanner.TagContent().empty(),
          "a missing file left outputs behind");
  // A missing file must not have thrown the cached page away.
  Compare(scanner, scanText, path, tagName, occurrence);
  Require(files.Count(FileOp::kRead, path) == 1, "the page was read more than once");
  return 0;
}
