#include "restore/restore_page.h"

#include <new>
#include <optional>

#include "cipher/sha256.h"
#include "format/protected_format.h"
#include "text/large_text.h"
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
// and everything after it joined with CR LF.
bool BodyAttributes(std::string_view rest, std::string& attributes) {
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
  // A page that was changed by hand: the start tag ends at its first ">".
  const std::size_t tagEnd = rest.find('>');
  if (tagEnd == kNone) return false;
  std::string_view text = rest.substr(0, tagEnd);
  if (text.ends_with(format::kLoadAttribute)) text.remove_suffix(format::kLoadAttribute.size());
  attributes = text;
  return true;
}

// The check line, trimmed: its lead-in, the salt and the check value in hex
// between quotes, and the call's tail. Anything else is a damaged line.
constexpr std::size_t kSaltHex = 2 * format::kSaltSize;
constexpr std::size_t kCheckHex = 2 * format::kDigestSize;
constexpr std::size_t kCheckHexAt = format::kCheckCall.size() + kSaltHex + format::kCheckBetween.size();

bool ReadCheckLine(std::string_view line, std::string& salt, std::string& check) {
  if (line.size() != kCheckHexAt + kCheckHex + format::kCallEnd.size() ||
      line.substr(format::kCheckCall.size() + kSaltHex, format::kCheckBetween.size()) !=
          format::kCheckBetween ||
      !line.ends_with(format::kCallEnd)) {
    return false;
  }
  return ReadHexDigits(line.substr(format::kCheckCall.size(), kSaltHex), salt) &&
         ReadHexDigits(line.substr(kCheckHexAt, kCheckHex), check);
}

}  // namespace

Outcome ReadProtectedPage(std::string_view bytes, const PageCipher& cipher, PageParts& parts) {
  parts = PageParts{};
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
  std::optional<Sha256> seal;
  bool passwordMatches = true;
  do {
    if (!nextTrimmed()) return damaged;
    if (!seal && line.starts_with(format::kCheckCall)) {
      std::string salt;
      std::string check;
      if (!ReadCheckLine(line, salt, check)) return damaged;
      seal.emplace();
      seal->Update(std::string(line.substr(format::kCheckCall.size(), kSaltHex)) + "\n");
      seal->Update(std::string(line.substr(kCheckHexAt, kCheckHex)) + "\n");
      passwordMatches = cipher.CheckValue(salt) == check;
    }
  } while (line.find(format::kTitleCall) == kNone);
  const auto sealLine = [&](std::string_view hex) {
    if (!seal) return;
    seal->Update(hex);
    seal->Update("\n");
  };
  sealLine(CallHex(line));
  if (passwordMatches) parts.titleText = cipher.DecodeHex(CallHex(line));
  // Two hex digits give one byte: the body is at most half of the page.
  if (passwordMatches) ReserveLargeText(parts.bodyText, bytes.size() / 2);

  bool impossibleLine = false;
  for (;;) {
    if (!nextTrimmed()) return damaged;
    if (line == format::kMainEnd) break;
    sealLine(CallHex(line));
    // A wrong password is known from the check value: deciphering would be wasted.
    if (!passwordMatches) continue;
    const std::size_t start = parts.bodyText.size();
    cipher.AppendDecodedHex(parts.bodyText, CallHex(line));
    impossibleLine =
        impossibleLine || CannotBeBodyLine(std::string_view(parts.bodyText).substr(start));
    parts.bodyText.append(kCrLf);
  }

  std::string sealFound;
  do {
    if (!nextTrimmed()) return damaged;
    if (line.starts_with(format::kSealStart) && line.ends_with(format::kSealEnd)) {
      const std::string_view hex = line.substr(
          format::kSealStart.size(), line.size() - format::kSealStart.size() - format::kSealEnd.size());
      if (!ReadHexDigits(hex, sealFound)) return damaged;
    }
  } while (line.find(format::kScriptEnd) == kNone);

  for (;;) {
    if (!nextTrimmed()) return damaged;
    if (line == format::kHeadEnd) break;
    parts.headExtra.append(line).append(kCrLf);
  }

  do {
    if (!lines.Next(line)) return damaged;
  } while (!line.starts_with(format::kBodyStart));
  // The plain page's body start tag may have spanned lines; its attribute
  // text then spans the body line and the lines after it.
  std::string rest(line.substr(format::kBodyStart.size()));
  while (lines.Next(line)) rest.append(kCrLf).append(line);
  if (!BodyAttributes(rest, parts.bodyAttributes)) return damaged;

  // A changed page is said to be damaged whatever the password: it must not
  // pass for a wrong password, which would send the user after another one.
  // A seal without its check line is a page that lost that line.
  if (seal ? sealFound != seal->Finish() : !sealFound.empty()) return damaged;
  if (!passwordMatches || (!seal && impossibleLine)) return OutcomeCode::WrongPassword;
  return OutcomeCode::Done;
}

void WritePlainPage(const PageParts& parts, PageSink& page) {
  page.Write("<html>\r\n<head>\r\n<title>");
  page.Write(parts.titleText);
  page.Write("</title>\r\n");
  if (!parts.headExtra.empty()) {
    page.Write(parts.headExtra);
    page.Write(kCrLf);
  }
  page.Write("</head>\r\n<body");
  if (!parts.bodyAttributes.empty()) {
    page.Write(" ");
    page.Write(parts.bodyAttributes);
  }
  page.Write(">\r\n");
  if (!parts.bodyText.empty()) {
    page.Write(parts.bodyText);
    page.Write(kCrLf);
  }
  page.Write("</body>\r\n</html>\r\n");
}

Outcome RestorePage(const std::string& selectedFile, const PageCipher& cipher, FileSystem& files,
                    const std::string& output) {
  try {
    std::unique_ptr<FileLock> lock;
    if (const Outcome locked = LockPage(files, selectedFile, lock); locked.Refused()) return locked;
    std::unique_ptr<FileBytes> bytes = files.Read(selectedFile);
    if (!bytes) return OutcomeCode::PageUnreadable;
    PageParts parts;
    if (const Outcome read = ReadProtectedPage(bytes->View(), cipher, parts); read.Refused()) {
      // Another run may have restored the page since the caller looked:
      // a page without the protected head is no damaged protected page.
      if (read == OutcomeCode::PageDamaged && bytes->View().find(format::kTitleLine) == kNone) {
        return OutcomeCode::NotProtected;
      }
      return read;
    }
    bytes.reset();  // read whole, and let go before anything is written
    const PageSource writer = [&parts](PageSink& sink) { WritePlainPage(parts, sink); };
    const Outcome written =
        output.empty()
            ? RewritePage(files, selectedFile, selectedFile + std::string(kProtectedSuffix), writer)
            : RewritePage(files, output, {}, writer);
    return written.Refused() ? written : OutcomeCode::Restored;
  } catch (const std::bad_alloc&) {
    return OutcomeCode::NoMemory;
  }
}

}  // namespace kelvara
