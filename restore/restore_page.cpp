#include "restore/restore_page.h"

#include "cipher/sha256.h"
#include "format/base64.h"
#include "format/deflate.h"
#include "format/protected_format.h"
#include "text/line_reader.h"
#include "text/text.h"

namespace kelvara {
namespace {

namespace format = protected_format;

// The hex text of a trimmed call line: all but its lead-in and its tail,
// which are cut by position and not looked at.
std::string_view CallHex(std::string_view line) {
  constexpr std::size_t kFrame = format::kCallLeadIn + format::kCallEnd.size();
  if (line.size() <= kFrame) return {};
  return line.substr(format::kCallLeadIn, line.size() - kFrame);
}

// Body lines that the right password gives come from the lines of a file, so
// they never hold a line break or an end-of-file byte.
bool CannotBeBodyLine(std::string_view line) {
  return line.find('\r') != kNone || line.find('\x1A') != kNone;
}

// The attribute text of the body line, given the line from its 7th character
// and everything after it joined with CR LF. False when the line is no body
// start tag, or, on a sealed page, not the one that protection writes.
bool BodyAttributes(std::string_view rest, bool sealed, std::string& attributes) {
  // The writer always ends the start tag with the load attribute and an empty
  // body. Looking for that whole ending keeps a ">" of the plain page's
  // attributes, which a self-closed body tag may hold.
  std::string ending(format::kLoadAttribute);
  ending.append(format::kBodyRest);
  const std::size_t end = rest.find(ending);
  if (end != kNone) {
    attributes = rest.substr(0, end);
    return true;
  }
  if (sealed) return false;
  // An older page changed by hand: the start tag ends at its first ">", and
  // the load attribute, with anything after it, is no part of the page's own.
  const std::size_t tagEnd = rest.find('>');
  if (tagEnd == kNone) return false;
  std::string_view text = rest.substr(0, tagEnd);
  text = text.substr(0, text.find(format::kLoadAttribute));
  attributes = text;
  return true;
}

// The check line, trimmed: its lead-in, the salt and the check value in hex
// between quotes, and the call's tail. Anything else is a damaged line.
constexpr std::size_t kSaltHex = 2 * format::kSaltSize;
constexpr std::size_t kCheckHex = 2 * format::kDigestSize;
constexpr std::size_t kCheckHexAt =
    format::kCheckCall.size() + kSaltHex + format::kCheckBetween.size();

bool ReadCheckLine(std::string_view line, std::string& salt, std::string& check) {
  if (line.size() != kCheckHexAt + kCheckHex + format::kCallEnd.size() ||
      line.substr(format::kCheckCall.size() + kSaltHex, format::kCheckBetween.size()) !=
          format::kCheckBetween ||
      !line.ends_with(format::kCallEnd)) {
    return false;
  }
  return ReadHex(line.substr(format::kCheckCall.size(), kSaltHex), salt) &&
         ReadHex(line.substr(kCheckHexAt, kCheckHex), check);
}

// The text between a line's lead-in and its tail, when it has both.
bool Between(std::string_view line, std::string_view start, std::string_view end,
             std::string_view& text) {
  if (line.size() < start.size() + end.size() || !line.starts_with(start) || !line.ends_with(end))
    return false;
  text = line.substr(start.size(), line.size() - start.size() - end.size());
  return true;
}

}  // namespace

Outcome ParseProtectedPage(std::string_view bytes, const PageCipher& cipher,
                           ProtectedReading& reading) {
  reading = ProtectedReading{};
  LineReader lines(bytes);
  std::string_view line;
  // Every step reads on from where the last one stopped; a page that ends
  // before the line a step waits for is not a protected page any more.
  auto nextTrimmed = [&]() {
    if (!lines.Next(line)) return false;
    line = TrimSpaces(line);
    return true;
  };
  const Outcome damaged = OutcomeCode::PageDamaged;

  // A page written before the check value existed has no check line; it is
  // then guarded by what the right password can never give.
  bool checked = false;
  bool passwordMatches = true;
  bool pageLine = false;
  do {
    if (!nextTrimmed()) return damaged;
    if (!checked && line.starts_with(format::kCheckCall)) {
      std::string salt;
      std::string check;
      if (!ReadCheckLine(line, salt, check)) return damaged;
      checked = true;
      reading.checkSalt = line.substr(format::kCheckCall.size(), kSaltHex);
      reading.checkDigest = line.substr(kCheckHexAt, kCheckHex);
      passwordMatches = cipher.CheckValue(salt) == check;
    } else if (checked && line.starts_with(format::kPageCall)) {
      // Only once, and only where a check value guards it: before one, the
      // lines are an older page's script, which may hold anything.
      if (pageLine || !Between(line, format::kPageCall, format::kCallEnd, reading.pageText) ||
          reading.pageText.empty()) {
        return damaged;
      }
      pageLine = true;
    }
  } while (line.find(format::kTitleCall) == kNone);
  reading.titleHex = CallHex(line);

  // The body lines are only looked through here; they are deciphered as
  // they are written, or on an older page once more to see whether the
  // password can be right.
  std::string bodyLine;
  bool impossibleLine = false;
  const char* bodyStart = nullptr;
  for (;;) {
    if (!lines.Next(line)) return damaged;
    if (bodyStart == nullptr) bodyStart = line.data();
    const std::string_view trimmed = TrimSpaces(line);
    if (trimmed == format::kMainEnd) break;
    if (!checked && !impossibleLine) {
      bodyLine.clear();
      cipher.DecodeHex(bodyLine, CallHex(trimmed));
      impossibleLine = CannotBeBodyLine(bodyLine);
    }
  }
  reading.bodyLines =
      std::string_view(bodyStart, static_cast<std::size_t>(line.data() - bodyStart));

  do {
    if (!nextTrimmed()) return damaged;
    std::string_view hex;
    if (Between(line, format::kSealStart, format::kSealEnd, hex) && !ReadHex(hex, reading.seal)) {
      return damaged;
    }
  } while (line.find(format::kScriptEnd) == kNone);

  for (;;) {
    if (!nextTrimmed()) return damaged;
    if (line == format::kHeadEnd) break;
    reading.headExtra.append(line).append(kCrLf);
  }

  do {
    if (!lines.Next(line)) return damaged;
  } while (!line.starts_with(format::kBodyStart));
  // The plain page's body start tag may have spanned lines; its attribute
  // text then spans the body line and the lines after it.
  std::string rest(line.substr(format::kBodyStart.size()));
  while (lines.Next(line)) rest.append(kCrLf).append(line);
  if (!BodyAttributes(rest, checked, reading.bodyAttributes)) return damaged;

  // A seal without its check line is a page that lost that line; a checked
  // page without one lost its seal.
  if (checked == reading.seal.empty()) return damaged;
  if (!passwordMatches || (!checked && impossibleLine)) return OutcomeCode::WrongPassword;
  return OutcomeCode::Done;
}

bool SealHolds(const ProtectedReading& reading) {
  if (reading.checkSalt.empty()) return true;
  Sha256 seal;
  const auto sealed = [&seal](std::string_view text) {
    seal.Update(text);
    seal.Update("\n");
  };
  sealed(reading.checkSalt);
  sealed(reading.checkDigest);
  if (!reading.pageText.empty()) sealed(reading.pageText);
  sealed(reading.titleHex);
  LineReader lines(reading.bodyLines);
  for (std::string_view line; lines.Next(line);) sealed(CallHex(TrimSpaces(line)));
  return seal.Finish() == reading.seal;
}

Outcome ReadProtectedPage(std::string_view bytes, const PageCipher& cipher,
                          ProtectedReading& reading) {
  const Outcome read = ParseProtectedPage(bytes, cipher, reading);
  // A changed page is said to be damaged whatever the password: it must not
  // pass for a wrong password, which would send the user after another one.
  if ((read == OutcomeCode::Done || read == OutcomeCode::WrongPassword) && !SealHolds(reading)) {
    return OutcomeCode::PageDamaged;
  }
  return read;
}

Outcome WriteInflated(std::string_view stream, PageSink& sink) {
  const bool whole = Inflate(stream, [&sink](std::string_view bytes) {
    sink.Write(bytes);
    return true;
  });
  return whole ? OutcomeCode::Done : OutcomeCode::PageDamaged;
}

Outcome WritePlainPage(const ProtectedReading& reading, const PageCipher& cipher, PageSink& sink) {
  if (!reading.pageText.empty()) {
    std::string stream;
    if (!Base64Decode(reading.pageText, stream)) return OutcomeCode::PageDamaged;
    cipher.ApplyKey(stream, -1);
    return WriteInflated(stream, sink);
  }
  std::string& out = sink.Buffer();
  out.append("<html>\r\n<head>\r\n<title>");
  cipher.DecodeHex(out, reading.titleHex);
  out.append("</title>\r\n");
  if (!reading.headExtra.empty()) out.append(reading.headExtra).append(kCrLf);
  out.append("</head>\r\n<body");
  if (!reading.bodyAttributes.empty()) out.append(" ").append(reading.bodyAttributes);
  out.append(">\r\n");
  LineReader lines(reading.bodyLines);
  bool anyLine = false;
  for (std::string_view line; lines.Next(line);) {
    cipher.DecodeHex(out, CallHex(TrimSpaces(line)));
    out.append(kCrLf);
    anyLine = true;
    sink.WriteFullSlices();
  }
  if (anyLine) out.append(kCrLf);
  out.append("</body>\r\n</html>\r\n");
  return OutcomeCode::Done;
}

}  // namespace kelvara
