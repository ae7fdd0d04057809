#include "testing/reference.h"

namespace kelvara::reference {
namespace {

int Digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::vector<std::string_view> Lines(std::string_view bytes) {
  bytes = bytes.substr(0, bytes.find('\x1A'));
  std::vector<std::string_view> lines;
  while (!bytes.empty()) {
    const std::size_t cr = bytes.find('\r');
    lines.push_back(bytes.substr(0, cr));
    if (cr == std::string_view::npos) break;
    bytes.remove_prefix(cr + (cr + 1 < bytes.size() && bytes[cr + 1] == '\n' ? 2 : 1));
  }
  return lines;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

std::string DecodeHex(std::string_view hex, std::string_view key) {
  if (key.empty()) key = std::string_view("\0", 1);
  std::string plain;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    int value = 0;
    for (std::size_t j = i; j < i + 2 && j < hex.size() && Digit(hex[j]) >= 0; ++j) {
      value = value * 16 + Digit(hex[j]);
    }
    const int k = static_cast<unsigned char>(key[(i / 2) % key.size()]);
    plain.push_back(static_cast<char>((value + 256 - k) % 256));
  }
  return plain;
}

std::string RestoreLiterally(std::string_view bytes, std::string_view key) {
  const std::vector<std::string_view> lines = Lines(bytes);
  std::size_t next = 0;
  std::string_view line;
  const auto hexOf = [](std::string_view trimmed) {
    return trimmed.size() <= 19 ? std::string_view() : trimmed.substr(16, trimmed.size() - 19);
  };
  do {
    if (next == lines.size()) return {};
    line = Trim(lines[next++]);
  } while (line.find("VetrakSetTitle(\"") == std::string_view::npos);
  const std::string title = DecodeHex(hexOf(line), key);
  std::string body;
  for (;;) {
    if (next == lines.size()) return {};
    line = Trim(lines[next++]);
    if (line == "}") break;
    body.append(DecodeHex(hexOf(line), key)).append("\r\n");
  }
  do {
    if (next == lines.size()) return {};
    line = Trim(lines[next++]);
  } while (line.find("</script>") == std::string_view::npos);
  std::string headExtra;
  for (;;) {
    if (next == lines.size()) return {};
    line = Trim(lines[next++]);
    if (line == "</head>") break;
    headExtra.append(line).append("\r\n");
  }
  do {
    if (next == lines.size()) return {};
    line = lines[next++];
  } while (!line.starts_with("<body "));
  const std::string_view tagRest = line.substr(6, line.find('>') - 6);
  std::string attributes;
  if (!tagRest.empty()) attributes.append(" ").append(tagRest);

  std::string page = "<html>\r\n<head>\r\n<title>";
  page.append(title).append("</title>\r\n");
  if (!headExtra.empty()) page.append(headExtra).append("\r\n");
  page.append("</head>\r\n<body").append(attributes).append(">\r\n");
  if (!body.empty()) page.append(body).append("\r\n");
  return page.append("</body>\r\n</html>\r\n");
}

}  // namespace kelvara::reference
