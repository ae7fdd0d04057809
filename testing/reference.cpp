#include "testing/reference.h"

#include <algorithm>

#include "format/texts.h"
#include "page/run_page.h"
#include "protect/protect_page.h"
#include "scan/tag_scanner.h"
#include "testing/fixed_random.h"
#include "testing/memory_file_system.h"

namespace kelvara::reference {

constexpr std::size_t kNone = std::string_view::npos;
const std::string kPage = "site/page.htm";

std::vector<std::string_view> Lines(std::string_view bytes) {
  bytes = bytes.substr(0, bytes.find('\x1A'));
  std::vector<std::string_view> lines;
  for (std::size_t cr = 0; !bytes.empty() && cr != kNone;) {
    cr = bytes.find('\r');
    lines.push_back(bytes.substr(0, cr));
    bytes.remove_prefix(cr == kNone ? 0 : cr + (bytes.substr(cr, 2) == "\r\n" ? 2 : 1));
  }
  return lines;
}

namespace {

// Blanks (0x20 only) off both ends.
std::string_view Trim(std::string_view text) {
  while (text.starts_with(' ')) text.remove_prefix(1);
  while (text.ends_with(' ')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string DecodeHex(std::string_view hex, std::string_view key) {
  const std::string_view digits = "0123456789ABCDEF0123456789abcdef";
  std::string plain;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    int value = 0;
    for (std::size_t j = i; j < i + 2 && j < hex.size() && digits.find(hex[j]) != kNone; ++j) {
      value = value * 16 + static_cast<int>(digits.find(hex[j]) % 16);
    }
    const int k = key.empty() ? 0 : static_cast<unsigned char>(key[(i / 2) % key.size()]);
    plain.push_back(static_cast<char>((value + 256 - k) % 256));
  }
  return plain;
}

std::string Read(std::string_view bytes, std::string_view key, PageParts& parts) {
  parts = PageParts{};
  const std::vector<std::string_view> lines = Lines(bytes);
  std::size_t next = 0;
  std::string_view line;
  // Every step reads on from where the last one stopped.
  const auto read = [&](bool trimmed) {
    if (next == lines.size()) return false;
    line = trimmed ? Trim(lines[next++]) : lines[next++];
    return true;
  };
  // A call line's hex text: all but its 16-character lead-in and its 3-character tail.
  const auto hex = [&] {
    return line.size() <= 19 ? std::string_view() : line.substr(16, line.size() - 19);
  };
  // Reads on to the first line that holds `marker`, or that starts with it
  // untrimmed when it is the body line's.
  const auto readTo = [&](std::string_view marker) {
    const bool bodyLine = marker == "<body ";
    while (read(!bodyLine)) {
      if (bodyLine ? line.starts_with(marker) : line.find(marker) != kNone) return true;
    }
    return false;
  };
  const std::string damaged(kPageDamaged);
  if (!readTo("VetrakSetTitle(\"")) return damaged;
  parts.titleText = DecodeHex(hex(), key);
  bool impossible = false;
  while (read(true) && line != "}") {
    const std::string bodyLine = DecodeHex(hex(), key);
    impossible = impossible || bodyLine.find_first_of("\r\x1A") != kNone;
    parts.bodyText.append(bodyLine).append("\r\n");
  }
  if (line != "}" || !readTo("</script>")) return damaged;
  while (read(true) && line != "</head>") parts.headExtra.append(line).append("\r\n");
  if (line != "</head>" || !readTo("<body ")) return damaged;
  // The start tag may span lines. It runs to the load attribute and empty
  // body that protection writes, or, on a page changed by hand, to its first
  // ">", less the load attribute and anything after it.
  std::string tag(line.substr(6));
  while (read(false)) tag.append("\r\n").append(line);
  const std::string load = " onload=\"VetrakMain();\"";
  std::size_t end = tag.find(load + "></body>");
  if (end == kNone) {
    end = tag.find('>');
    if (end == kNone) return damaged;
    end = std::min(end, tag.find(load));
  }
  parts.bodyAttributes = tag.substr(0, end);
  return impossible ? std::string(kWrongPassword) : "";
}

std::string PlainPage(const PageParts& parts) {
  std::string page = "<html>\r\n<head>\r\n<title>" + parts.titleText + "</title>\r\n";
  if (!parts.headExtra.empty()) page += parts.headExtra + "\r\n";
  page += "</head>\r\n<body" + (parts.bodyAttributes.empty() ? "" : " " + parts.bodyAttributes);
  page += ">\r\n" + parts.bodyText + (parts.bodyText.empty() ? "" : "\r\n");
  return page + "</body>\r\n</html>\r\n";
}

std::string RestoreFault(const std::string& password, const std::string& page) {
  if (page.find("VetrakCheck(\"") != kNone || page.find("VetrakSeal") != kNone) return "";
  MemoryFileSystem files;
  files.files = {{kPage, page}, {kPage + ".protected", "an older copy"}};
  const auto before = files.files;
  PageParts parts;
  std::string wanted = Read(page, password, parts);
  // A page that is not titled as protected is no damaged protected page.
  if (!IsProtected(page)) wanted = kNotProtected;
  const Outcome outcome =
      RunPage({kPage, Mode::Restore}, PageCipher(password), files, TestRandom());
  if ((outcome.Refused() ? outcome.Text() : "") != wanted) return "restoring: the verdict";
  const auto after = decltype(before){{kPage, PlainPage(parts)}, {kPage + ".protected", page}};
  return files.files == (outcome.Refused() ? before : after) ? "" : "restoring: the files";
}

std::string RoundTripFault(const std::string& password, const std::string& page) {
  const PageCipher cipher(password);
  MemoryFileSystem files;
  files.files[kPage] = page;
  PageParts taken;
  const Outcome wanted = IsProtected(page)           ? OutcomeCode::AlreadyProtected
                         : cipher.EnciphersNothing() ? OutcomeCode::EmptyPassword
                                                     : ExtractPage(page, kPage, taken);
  const Outcome outcome = RunPage({kPage, Mode::Protect}, cipher, files, TestRandom());
  if (outcome != (wanted.Refused() ? wanted : OutcomeCode::Protected))
    return "protecting: the verdict";
  if (outcome.Refused())
    return files.files.size() == 1 && files.files.at(kPage) == page
               ? ""
               : "protecting: a refusal changed files";
  if (RunPage({kPage, Mode::Restore}, cipher, files, TestRandom()) != OutcomeCode::Restored)
    return "restoring what was protected";
  if (files.files.at(kPage) != page) return "the restored page is not the author's";
  PageParts back;
  if (!Read(files.files.at(kPage + ".protected"), password, back).empty())
    return "a reader of the old form refuses the protected page";
  std::string pieces;
  for (std::size_t from = 0, end = 0; end != kNone; from = end + 2) {
    end = taken.bodyText.find("\r\n", from);
    const std::string_view piece = std::string_view(taken.bodyText).substr(from, end - from);
    if (!Trim(piece).empty()) pieces.append(piece).append("\r\n");
  }
  const std::string headWritten = taken.headExtra.empty() ? "" : taken.headExtra + "\r\n";
  std::string headLines;
  for (const std::string_view line : Lines(headWritten))
    headLines.append(Trim(line)).append("\r\n");
  const bool same = back.titleText == taken.titleText &&
                    back.bodyAttributes == taken.bodyAttributes && back.bodyText == pieces &&
                    back.headExtra == headLines;
  return same ? "" : "the parts restored against those protected";
}

}  // namespace kelvara::reference
