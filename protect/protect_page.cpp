#include "protect/protect_page.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "cipher/sha256.h"
#include "format/decoder_script.h"
#include "format/protected_format.h"
#include "format/texts.h"
#include "text/line_reader.h"
#include "text/text.h"

namespace kelvara {
namespace {

void AppendLine(std::string& page, std::string_view line) {
  page.append(line).append(kCrLf);
}

// Writes a call line and adds its hex text to the seal.
void AppendCallLine(std::string& page, std::string_view call, std::string_view plain,
                    const PageCipher& cipher, Sha256& seal) {
  page.append(protected_format::kIndent).append(call);
  const std::size_t hexAt = page.size();
  cipher.AppendEncodedHex(page, plain);
  seal.Update(std::string_view(page).substr(hexAt));
  seal.Update("\n");
  page.append(protected_format::kCallEnd).append(kCrLf);
}

// The head's content with its first "<title>" ... "</title>" cut out; only
// those exact markers count, in any letter case.
std::string HeadExtra(std::string_view headContent) {
  const CaselessPattern titleStart("<title>");
  const CaselessPattern titleEnd("</title>");
  const std::size_t open = titleStart.Find(headContent);
  const std::size_t close = titleEnd.Find(headContent);
  if (open == kNone || close == kNone) return std::string(headContent);
  std::string extra(headContent.substr(0, open));
  extra.append(headContent.substr(close + titleEnd.Size()));
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

// Cuts every element from `open` (matched in any letter case) through the
// first `close` after it, searching again from the start after each cut as
// often as one is left. An element that is never closed runs to the end.
// Both markers are given in lower case.
void RemoveElements(std::string& text, std::string_view open, std::string_view close) {
  const CaselessPattern opening(open);
  const CaselessPattern closing(close);
  if (opening.Find(text) == kNone) return;

  // Compacts in place in one pass: text[0, kept) is what stays, text[next, n)
  // is still to be read.
  const std::size_t n = text.size();
  std::size_t kept = 0;
  std::size_t next = 0;
  std::string window;
  for (;;) {
    // A cut can join the bytes on either side of it into a new opening
    // marker, which the next search from the start would find first. Its
    // kept bytes go back to the unread side, so that it is cut like any other.
    const std::size_t tail = std::min(kept, opening.Size() - 1);
    if (tail > 0 && next < n) {
      window.assign(text, kept - tail, tail);
      window.append(text, next, opening.Size() - 1);
      const std::size_t at = opening.Find(window);
      if (at != kNone && at < tail) {
        const std::size_t back = tail - at;
        std::memmove(text.data() + next - back, text.data() + kept - back, back);
        kept -= back;
        next -= back;
      }
    }
    const std::size_t start = opening.Find(text, next);
    const std::size_t stop = start == kNone ? n : start;
    std::memmove(text.data() + kept, text.data() + next, stop - next);
    kept += stop - next;
    if (start == kNone) break;
    const std::size_t end = closing.Find(text, start);
    next = end == kNone ? n : end + closing.Size();
  }
  text.resize(kept);
}

}  // namespace

bool IsProtectedPage(TagScanner& scanner, const std::string& path) {
  return scanner.FindTag(path, "title", 1) && scanner.TagContent() == kProductName;
}

Outcome ExtractPage(TagScanner& scanner, const std::string& selectedFile, PageParts& parts) {
  parts = PageParts{};
  parts.titleText = scanner.FindTag(selectedFile, "title", 1) ? scanner.TagContent() : selectedFile;

  if (!scanner.FindTag(selectedFile, "head", 1)) return OutcomeCode::HeadMissing;
  parts.headExtra = HeadExtra(scanner.TagContent());
  if (EndsHeadEarly(parts.headExtra)) return OutcomeCode::HeadMalformed;

  if (!scanner.FindTag(selectedFile, "body", 1)) return OutcomeCode::BodyMissing;
  parts.bodyAttributes = scanner.TagAttributes();
  parts.bodyText = scanner.TakeTagContent();
  // Scripts go first, so that a script holding comment markers goes whole.
  RemoveElements(parts.bodyText, "<script", "</script>");
  RemoveElements(parts.bodyText, "<!--", "-->");
  return OutcomeCode::Done;
}

void WriteProtectedPage(const PageParts& parts, const PageCipher& cipher, std::string_view salt,
                        PageSink& sink) {
  std::string& page = sink.Text();
  const std::string_view script = DecoderScript();
  for (std::size_t from = 0; from <= script.size();) {
    const std::size_t lineEnd = std::min(script.find('\n', from), script.size());
    AppendLine(page, script.substr(from, lineEnd - from));
    from = lineEnd + 1;
  }

  Sha256 seal;
  const std::string saltHex = HexDigits(salt);
  const std::string checkHex = HexDigits(cipher.CheckValue(salt));
  page.append(protected_format::kIndent).append(protected_format::kCheckCall).append(saltHex);
  page.append(protected_format::kCheckBetween).append(checkHex);
  page.append(protected_format::kCallEnd).append(kCrLf);
  seal.Update(saltHex + "\n" + checkHex + "\n");
  AppendLine(page, "    SetVetrakPwd();");
  AppendCallLine(page, protected_format::kTitleCall, parts.titleText, cipher, seal);

  // One call line per piece of the body between CR LF pairs; a lone CR or LF
  // stays inside its piece, and pieces of nothing but blanks are left out.
  const std::string_view body = parts.bodyText;
  for (std::size_t from = 0;;) {
    const std::size_t lineEnd = body.find(kCrLf, from);
    const std::string_view piece = body.substr(from, lineEnd == kNone ? kNone : lineEnd - from);
    if (!IsBlank(piece)) {
      AppendCallLine(page, protected_format::kBodyCall, piece, cipher, seal);
      sink.Pass();
    }
    if (lineEnd == kNone) break;
    from = lineEnd + kCrLf.size();
  }

  AppendLine(page, "  }");
  page.append("  ").append(protected_format::kSealStart).append(HexDigits(seal.Finish()));
  page.append(protected_format::kSealEnd).append(kCrLf);
  AppendLine(page, "");
  AppendLine(page, protected_format::kScriptEnd);
  if (!parts.headExtra.empty()) {
    sink.Write(parts.headExtra);
    sink.Write(kCrLf);
  }
  AppendLine(page, protected_format::kHeadEnd);
  page.append(protected_format::kBodyStart).append(parts.bodyAttributes);
  page.append(protected_format::kLoadAttribute).append(protected_format::kBodyRest).append(kCrLf);
  AppendLine(page, "</html>");
}

Outcome ProtectPage(const std::string& selectedFile, const PageCipher& cipher,
                    TagScanner& scanner, FileSystem& files, RandomSource& random,
                    const std::string& output) {
  if (cipher.EnciphersNothing()) return OutcomeCode::EmptyPassword;
  try {
    std::unique_ptr<FileLock> lock;
    if (const Outcome locked = LockPage(files, selectedFile, lock); locked.Refused()) return locked;
    if (!scanner.Readable(selectedFile)) return OutcomeCode::PageUnreadable;
    // Under the lock the page is what it is: another run may have protected
    // it since the caller looked.
    if (IsProtectedPage(scanner, selectedFile)) return OutcomeCode::AlreadyProtected;
    PageParts parts;
    if (const Outcome extracted = ExtractPage(scanner, selectedFile, parts); extracted.Refused()) {
      return extracted;
    }
    const std::string salt = random.Bytes(protected_format::kSaltSize);
    const PageSource writer = [&](PageSink& sink) { WriteProtectedPage(parts, cipher, salt, sink); };
    const Outcome written =
        output.empty()
            ? RewritePage(files, selectedFile, selectedFile + std::string(kOriginalSuffix), writer)
            : RewritePage(files, output, {}, writer);
    return written.Refused() ? written : OutcomeCode::Protected;
  } catch (const std::bad_alloc&) {
    return OutcomeCode::NoMemory;
  }
}

}  // namespace kelvara
