#include "protect/protect_page.h"

#include <algorithm>
#include <cstring>
#include <future>

#include "cipher/sha256.h"
#include "format/base64.h"
#include "format/decoder_script.h"
#include "format/protected_format.h"
#include "scan/tag_scanner.h"
#include "text/line_reader.h"
#include "text/text.h"

namespace kelvara {
namespace {

namespace format = protected_format;

// The whole-page line's text goes out this many bytes of its source at a
// time: a multiple of three, so that the pieces of base64 join into one.
constexpr std::size_t kBase64Step = 3 * (std::size_t{1} << 18);

void AppendLine(std::string& page, std::string_view line) {
  page.append(line).append(kCrLf);
}

void AppendCallLine(std::string& page, std::string_view call, std::string_view plain,
                    const PageCipher& cipher) {
  page.append(format::kIndent).append(call);
  cipher.EncodeHex(page, plain);
  page.append(format::kCallEnd).append(kCrLf);
}

// Each piece of the body between CR LF pairs that gets a call line of its
// own: a lone CR or LF stays inside its piece, and pieces of nothing but
// blanks are left out.
template <typename Take>
void ForEachPiece(std::string_view body, const Take& take) {
  for (std::size_t from = 0;;) {
    const std::size_t lineEnd = body.find(kCrLf, from);
    const std::string_view piece = body.substr(from, lineEnd == kNone ? kNone : lineEnd - from);
    if (!IsBlank(piece)) take(piece);
    if (lineEnd == kNone) break;
    from = lineEnd + kCrLf.size();
  }
}

// The seal of the page: the SHA-256 of the check values, the whole-page
// line's text and every call line's hex text, each followed by a LF, made
// from the page's parts as its writer makes the lines.
std::string SealOf(std::string_view saltHex, std::string_view checkHex, std::string_view stream,
                   const PageParts& parts, const PageCipher& cipher) {
  Sha256 seal;
  std::string text;
  const auto sealed = [&seal, &text] {
    seal.Update(text);
    seal.Update("\n");
    text.clear();
  };
  text.append(saltHex);
  sealed();
  text.append(checkHex);
  sealed();
  for (std::size_t from = 0; from < stream.size(); from += kBase64Step) {
    Base64Encode(text, stream.substr(from, kBase64Step));
    seal.Update(text);
    text.clear();
  }
  sealed();
  cipher.EncodeHex(text, parts.titleText);
  sealed();
  ForEachPiece(parts.bodyText, [&](std::string_view piece) {
    cipher.EncodeHex(text, piece);
    sealed();
  });
  return seal.Finish();
}

bool IsTagSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// The head's content with every title element cut out, whatever the form of
// its tags: letter case, attributes, blanks, a line break or a "/" before the
// ">". A title that never closes runs to the end of the head. The title's
// text is enciphered, so none of it may stay readable: not the title that a
// browser shows when an earlier one sits in a comment or a script, nor a
// second one.
std::string HeadExtra(std::string_view head) {
  const CaselessPattern titleStart("<title");
  const CaselessPattern titleEnd("</title");
  // "<titles>" or "</titled>" is some other tag.
  const auto tagAt = [&head](const CaselessPattern& marker, std::size_t from) {
    for (std::size_t at = marker.Find(head, from); at != kNone; at = marker.Find(head, at + 1)) {
      const std::size_t after = at + marker.Size();
      if (after == head.size() || head[after] == '>' || head[after] == '/' ||
          IsTagSpace(head[after])) {
        return at;
      }
    }
    return kNone;
  };
  std::string extra;
  std::size_t kept = 0;
  for (std::size_t open = tagAt(titleStart, 0); open != kNone; open = tagAt(titleStart, kept)) {
    extra.append(head.substr(kept, open - kept));
    const std::size_t close = tagAt(titleEnd, open + titleStart.Size());
    const std::size_t end = close == kNone ? kNone : head.find('>', close);
    kept = end == kNone ? head.size() : end + 1;
  }
  return extra.append(head.substr(kept));
}

// Restoration takes the first line that reads "</head>" after the decoder
// script as the end of the head. The scanner never lets one into the head's
// content, but cutting the title out can join one together.
bool EndsHeadEarly(std::string_view headExtra) {
  LineReader lines(headExtra);
  std::string_view line;
  while (lines.Next(line)) {
    if (TrimSpaces(line) == format::kHeadEnd) return true;
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

// The whole page, deflated and enciphered, written as its line in base64.
void WritePageLine(std::string_view stream, PageSink& sink) {
  std::string& out = sink.Buffer();
  out.append(format::kIndent).append(format::kPageCall);
  for (std::size_t from = 0; from < stream.size(); from += kBase64Step) {
    Base64Encode(out, stream.substr(from, kBase64Step));
    sink.WriteFullSlices();
  }
  out.append(format::kCallEnd).append(kCrLf);
}

}  // namespace

Outcome ExtractPage(std::string_view page, std::string_view fallbackTitle, PageParts& parts) {
  parts = PageParts{};
  TagScanner scanner(page);
  parts.titleText = scanner.FindTag("title", 1) ? scanner.TagContent() : fallbackTitle;

  if (!scanner.FindTag("head", 1)) return OutcomeCode::HeadMissing;
  parts.headExtra = HeadExtra(scanner.TagContent());
  if (EndsHeadEarly(parts.headExtra)) return OutcomeCode::HeadMalformed;

  if (!scanner.FindTag("body", 1)) return OutcomeCode::BodyMissing;
  parts.bodyAttributes = scanner.TagAttributes();
  parts.bodyText = scanner.TakeTagContent();
  // Scripts go first, so that a script holding comment markers goes whole.
  RemoveElements(parts.bodyText, "<script", "</script>");
  RemoveElements(parts.bodyText, "<!--", "-->");
  return OutcomeCode::Done;
}

void WriteProtectedPage(std::string deflated, const PageParts& parts, const PageCipher& cipher,
                        std::string_view salt, PageSink& sink) {
  std::string& out = sink.Buffer();
  const std::string_view script = DecoderScript();
  for (std::size_t from = 0; from <= script.size();) {
    const std::size_t lineEnd = std::min(script.find('\n', from), script.size());
    AppendLine(out, script.substr(from, lineEnd - from));
    from = lineEnd + 1;
  }

  cipher.ApplyKey(deflated, +1);
  const std::string saltHex = Hex(salt);
  const std::string checkHex = Hex(cipher.CheckValue(salt));
  // The seal hashes the hex text of every line, about as much work as
  // writing them: it is made beside the writing.
  std::future<std::string> seal = std::async(std::launch::async | std::launch::deferred, [&] {
    return SealOf(saltHex, checkHex, deflated, parts, cipher);
  });
  out.append(format::kIndent).append(format::kCheckCall).append(saltHex);
  out.append(format::kCheckBetween).append(checkHex);
  out.append(format::kCallEnd).append(kCrLf);
  WritePageLine(deflated, sink);
  AppendLine(out, "    SetVetrakPwd();");
  AppendCallLine(out, format::kTitleCall, parts.titleText, cipher);
  ForEachPiece(parts.bodyText, [&](std::string_view piece) {
    AppendCallLine(out, format::kBodyCall, piece, cipher);
    sink.WriteFullSlices();
  });
  AppendLine(out, "  }");
  out.append("  ").append(format::kSealStart).append(Hex(seal.get()));
  out.append(format::kSealEnd).append(kCrLf);
  AppendLine(out, "");
  AppendLine(out, format::kScriptEnd);
  if (!parts.headExtra.empty()) {
    sink.Write(parts.headExtra);
    sink.Write(kCrLf);
  }
  AppendLine(out, format::kHeadEnd);
  out.append(format::kBodyStart).append(parts.bodyAttributes);
  out.append(format::kLoadAttribute).append(format::kBodyRest).append(kCrLf);
  AppendLine(out, "</html>");
}

}  // namespace kelvara
