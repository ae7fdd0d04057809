// Restoration of arbitrary bytes with an arbitrary password. It either
// refuses with one of its reasons and leaves every file as it was, or keeps
// the protected page beside the page and writes a plain page of fixed shape.
// What it reads is held against a plain rendering of the reading steps.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cipher/page_cipher.h"
#include "fuzz/fuzz_support.h"
#include "protect/protect_page.h"
#include "restore/restore_page.h"
#include "testing/memory_file_system.h"
#include "testing/outcome_text.h"

namespace kelvara::fuzz {
namespace {

constexpr std::size_t kNone = std::string::npos;
constexpr std::string_view kLoadAttribute = " onload=\"VetrakMain();\"";
constexpr std::string_view kWrittenEnding = " onload=\"VetrakMain();\"></body>";

// The trimmed call line less its 16-character lead-in and 3-character tail.
std::string_view HexOf(std::string_view trimmed) {
  if (trimmed.size() <= 19) return {};
  return trimmed.substr(16, trimmed.size() - 19);
}

struct Reading {
  std::string reason;
  PageParts parts;
};

Reading ReferenceRead(std::string_view bytes, const PageCipher& cipher) {
  const std::vector<std::string_view> lines = SplitLines(BeforeEndOfFile(bytes));
  const Reading damaged{std::string(kPageDamaged), {}};
  Reading reading;
  PageParts& parts = reading.parts;
  std::size_t next = 0;
  std::string_view line;

  for (;;) {
    if (next == lines.size()) return damaged;
    line = Trim(lines[next++]);
    if (line.find("VetrakSetTitle(\"") != kNone) break;
  }
  parts.titleText = cipher.DecodeHex(HexOf(line));

  bool impossibleLine = false;
  for (;;) {
    if (next == lines.size()) return damaged;
    line = Trim(lines[next++]);
    if (line == "}") break;
    const std::string bodyLine = cipher.DecodeHex(HexOf(line));
    // The right password gives lines of a file: no line break, no end-of-file byte.
    impossibleLine = impossibleLine || bodyLine.find_first_of("\r\x1A") != kNone;
    parts.bodyText.append(bodyLine).append("\r\n");
  }

  for (;;) {
    if (next == lines.size()) return damaged;
    if (Trim(lines[next++]).find("</script>") != kNone) break;
  }
  for (;;) {
    if (next == lines.size()) return damaged;
    line = Trim(lines[next++]);
    if (line == "</head>") break;
    parts.headExtra.append(line).append("\r\n");
  }

  for (;;) {
    if (next == lines.size()) return damaged;
    line = lines[next++];
    if (line.starts_with("<body ")) break;
  }
  // The start tag may span lines. It runs to the load attribute and empty
  // body that protection writes, or, on a page changed by hand, to its first ">".
  std::string rest(line.substr(6));
  while (next < lines.size()) rest.append("\r\n").append(lines[next++]);
  const std::size_t ending = rest.find(kWrittenEnding);
  if (ending != kNone) {
    parts.bodyAttributes = rest.substr(0, ending);
  } else {
    const std::size_t tagEnd = rest.find('>');
    if (tagEnd == kNone) return damaged;
    std::string_view attributes = std::string_view(rest).substr(0, tagEnd);
    if (attributes.ends_with(kLoadAttribute)) attributes.remove_suffix(kLoadAttribute.size());
    parts.bodyAttributes = attributes;
  }
  if (impossibleLine) reading.reason = kWrongPassword;
  return reading;
}

void CheckPlainShape(std::string_view page, const PageParts& parts) {
  std::string_view rest = page;
  auto take = [&](std::string_view text, std::string_view what) {
    if (!rest.starts_with(text)) Fail(what, rest.substr(0, text.size()), text);
    rest.remove_prefix(text.size());
  };
  take("<html>\r\n<head>\r\n<title>", "plain page start");
  take(parts.titleText, "title text");
  take("</title>\r\n", "title end");
  // Past the title, which is whatever the key gave, every line ends in CR LF
  // and no byte 0x1A cuts the page short.
  Require(CrOnlyInCrLf(rest), "a plain page line ends otherwise than in CR LF");
  Require(rest.find('\x1A') == kNone, "a byte 0x1A in the plain page");
  if (!parts.headExtra.empty()) {
    take(parts.headExtra, "head extra");
    take("\r\n", "empty line after the head extra");
  }
  take("</head>\r\n<body", "head end and body start");
  if (!parts.bodyAttributes.empty()) {
    take(" ", "space before the body attributes");
    take(parts.bodyAttributes, "body attribute text");
  }
  take(">\r\n", "body start tag end");
  if (!parts.bodyText.empty()) {
    take(parts.bodyText, "body text");
    take("\r\n", "empty line after the body");
  }
  take("</body>\r\n</html>\r\n", "plain page end");
  Require(rest.empty(), "bytes after the plain page's end");
}

}  // namespace
}  // namespace kelvara::fuzz

// Input: the first line is the password, the rest the page to restore.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvara;
  using namespace kelvara::fuzz;
  const FuzzInput input = SplitInput(data, size);
  const PageCipher cipher{std::string(input.firstLine)};
  const std::string path = "page.htm";
  const std::string kept = path + std::string(kProtectedSuffix);
  MemoryFileSystem files;
  files.files[path] = std::string(input.page);
  // A copy left by an earlier restore is overwritten, never appended to.
  files.files[kept] = "an older copy";
  const auto before = files.files;

  const Reading wanted = ReferenceRead(input.page, cipher);
  PageParts parts;
  RequireEqual(Said(ReadProtectedPage(input.page, cipher, parts)), wanted.reason, "the reader's verdict");
  const std::string reason = Said(RestorePage(path, cipher, files));
  RequireEqual(reason, wanted.reason, "the verdict of restoration");
  if (!reason.empty()) {
    Require(reason == kPageDamaged || reason == kWrongPassword,
            "restoration refused for an unknown reason");
    Require(files.files == before, "a refused page or its folder changed");
    return 0;
  }

  RequireEqual(parts.titleText, wanted.parts.titleText, "title text");
  RequireEqual(parts.bodyText, wanted.parts.bodyText, "body text");
  RequireEqual(parts.headExtra, wanted.parts.headExtra, "head extra");
  RequireEqual(parts.bodyAttributes, wanted.parts.bodyAttributes, "body attribute text");
  Require(files.files.size() == 2, "restoration left files other than the page and its copy");
  RequireEqual(files.files[kept], input.page, "the copy of the protected page");
  CheckPlainShape(files.files[path], wanted.parts);
  return 0;
}
