#include "protect/protect_page.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "protect/protected_format.h"
#include "text/line_reader.h"
#include "text/page_file.h"
#include "text/text.h"

namespace kelvara {
namespace {

constexpr std::size_t kNone = std::string::npos;

// The fixed head of every protected page and its decoder script, up to the
// title line. The script must stay byte for byte as it is: pages already out
// there rely on it, and restoration reads the lines around it.
constexpr std::array<std::string_view, 40> kDecoderHead = {
    "<html>",
    "<head>",
    "<title>Kelvara</title>",
    "<script language=\"javascript\">",
    "",
    "  var VetrakPwd;",
    "",
    "  function SetVetrakPwd()",
    "  {",
    "    VetrakPwd = prompt(\"Page protected by Kelvara encryption tool.\", \"Please enter your "
    "password\");",
    "    if (VetrakPwd == \"\") { VetrakPwd = String.fromCharCode(0); }",
    "  }",
    "",
    "  function VetrakSetTitle(txt)",
    "  {",
    "    document.title = VetrakDecode(txt);",
    "  }",
    "",
    "  function VetrakAdd2Body(txt)",
    "  {",
    "    document.writeln( VetrakDecode(txt) );",
    "  }",
    "",
    "  function VetrakDecode(txt)",
    "  {",
    "    var res=\"\";",
    "    var ind=0;",
    "    var tmp=0;",
    "    for (var i=0; i < txt.length; i+=2)",
    "    {",
    "      tmp = (256 + parseInt(txt.substr(i,2), 16) - VetrakPwd.charCodeAt(ind)) % 256;",
    "      res += String.fromCharCode(tmp);",
    "      ind = (ind + 1) % VetrakPwd.length;",
    "    }",
    "    return res;",
    "  }",
    "",
    "  function VetrakMain()",
    "  {",
    "    SetVetrakPwd();",
};

void AppendLine(std::string& page, std::string_view line) {
  page.append(line).append(kCrLf);
}

void AppendCallLine(std::string& page, std::string_view call, std::string_view plain,
                    const PageCipher& cipher) {
  page.append(protected_format::kIndent).append(call);
  cipher.AppendEncodedHex(page, plain);
  page.append(protected_format::kCallEnd).append(kCrLf);
}

// The head's content with its first "<title>" ... "</title>" cut out; only
// those exact markers count, in any letter case.
std::string HeadExtra(std::string_view headContent) {
  const std::string lower = LowerAnsi(headContent);
  constexpr std::string_view kOpen = "<title>";
  constexpr std::string_view kClose = "</title>";
  const std::size_t open = lower.find(kOpen);
  const std::size_t close = lower.find(kClose);
  if (open == kNone || close == kNone) return std::string(headContent);
  std::string extra(headContent.substr(0, open));
  extra.append(headContent.substr(close + kClose.size()));
  return extra;
}

// Restoration takes the first line that reads "</head>" after the decoder
// script as the end of the head. The scanner never lets one into the head's
// content, but cutting the title out can join one together.
bool EndsHeadEarly(std::string_view headExtra) {
  LineReader lines(headExtra);
  std::string_view line;
  while (lines.Next(line)) {
    if (TrimSpaces(line) == protected_format::kHeadEnd) return true;
  }
  return false;
}

}  // namespace

bool IsProtectedPage(TagScanner& scanner, const std::string& path) {
  return scanner.FindTag(path, "title", 1) && scanner.TagContent() == kProductName;
}

namespace {

// RemoveElements on a text whose lower-cased twin the caller already holds;
// the twin is kept in step, so that it can serve the next removal too.
void RemoveElements(std::string& text, std::string& lower, std::string_view open,
                    std::string_view close) {
  if (lower.find(open) == kNone) return;

  // Compacts in place in one pass: text[0, kept) is what stays, text[next, n)
  // is still to be read; `lower` moves in step with `text`.
  const std::size_t n = text.size();
  std::size_t kept = 0;
  std::size_t next = 0;
  auto move = [&](std::size_t to, std::size_t from, std::size_t count) {
    std::memmove(text.data() + to, text.data() + from, count);
    std::memmove(lower.data() + to, lower.data() + from, count);
  };
  std::string window;
  for (;;) {
    // A cut can join the bytes on either side of it into a new opening
    // marker, which the next search from the start would find first. Its
    // kept bytes go back to the unread side, so that it is cut like any other.
    const std::size_t tail = std::min(kept, open.size() - 1);
    if (tail > 0 && next < n) {
      window.assign(lower, kept - tail, tail);
      window.append(lower, next, open.size() - 1);
      const std::size_t at = window.find(open);
      if (at != kNone && at < tail) {
        const std::size_t back = tail - at;
        move(next - back, kept - back, back);
        kept -= back;
        next -= back;
      }
    }
    const std::size_t start = std::string_view(lower).find(open, next);
    const std::size_t stop = start == kNone ? n : start;
    move(kept, next, stop - next);
    kept += stop - next;
    if (start == kNone) break;
    const std::size_t end = std::string_view(lower).find(close, start);
    next = end == kNone ? n : end + close.size();
  }
  text.resize(kept);
  lower.resize(kept);
}

}  // namespace

void RemoveElements(std::string& text, std::string_view open, std::string_view close) {
  std::string lower = LowerAnsi(text);
  RemoveElements(text, lower, open, close);
}

std::string ExtractPage(TagScanner& scanner, const std::string& selectedFile, PageParts& parts) {
  parts = PageParts{};
  parts.titleText = scanner.FindTag(selectedFile, "title", 1) ? scanner.TagContent() : selectedFile;

  if (!scanner.FindTag(selectedFile, "head", 1)) return std::string(kHeadMissing);
  parts.headExtra = HeadExtra(scanner.TagContent());
  if (EndsHeadEarly(parts.headExtra)) return std::string(kHeadMalformed);

  if (!scanner.FindTag(selectedFile, "body", 1)) return std::string(kBodyMissing);
  parts.bodyText = scanner.TagContent();
  parts.bodyAttributes = scanner.TagAttributes();
  // Scripts go first, so that a script holding comment markers goes whole.
  std::string lowerBody = LowerAnsi(parts.bodyText);
  RemoveElements(parts.bodyText, lowerBody, "<script", "</script>");
  RemoveElements(parts.bodyText, lowerBody, "<!--", "-->");
  return {};
}

std::string BuildProtectedPage(const PageParts& parts, const PageCipher& cipher) {
  std::string page;
  page.reserve(2048 + 2 * (parts.titleText.size() + parts.bodyText.size()) +
               parts.headExtra.size() + parts.bodyAttributes.size());
  for (const std::string_view line : kDecoderHead) AppendLine(page, line);
  AppendCallLine(page, protected_format::kTitleCall, parts.titleText, cipher);

  // One call line per piece of the body between CR LF pairs; a lone CR or LF
  // stays inside its piece, and pieces of nothing but blanks are left out.
  const std::string_view body = parts.bodyText;
  for (std::size_t from = 0;;) {
    const std::size_t lineEnd = body.find(kCrLf, from);
    const std::string_view piece = body.substr(from, lineEnd == kNone ? kNone : lineEnd - from);
    if (!IsBlank(piece)) AppendCallLine(page, protected_format::kBodyCall, piece, cipher);
    if (lineEnd == kNone) break;
    from = lineEnd + kCrLf.size();
  }

  AppendLine(page, "  }");
  AppendLine(page, "");
  AppendLine(page, protected_format::kScriptEnd);
  if (!parts.headExtra.empty()) AppendLine(page, parts.headExtra);
  AppendLine(page, protected_format::kHeadEnd);
  page.append(protected_format::kBodyStart).append(parts.bodyAttributes);
  page.append(protected_format::kLoadAttribute).append(protected_format::kBodyRest).append(kCrLf);
  AppendLine(page, "</html>");
  return page;
}

std::string ProtectPage(const std::string& selectedFile, const PageCipher& cipher,
                        TagScanner& scanner, FileSystem& files) {
  PageParts parts;
  std::string reason = ExtractPage(scanner, selectedFile, parts);
  if (!reason.empty()) return reason;
  const std::string page = BuildProtectedPage(parts, cipher);
  reason = RewritePage(files, selectedFile, selectedFile + std::string(kOriginalSuffix), page);
  // The cached scan text no longer describes the page once it is rewritten.
  if (reason.empty()) scanner.ForgetCache();
  return reason;
}

}  // namespace kelvara
