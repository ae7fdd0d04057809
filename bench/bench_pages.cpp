#include "bench/bench_pages.h"

#include <array>
#include <string_view>

namespace kelvara::bench {
namespace {

constexpr std::string_view kCrLf = "\r\n";

constexpr std::array<std::string_view, 24> kWords = {
    "meeting", "garden",  "window", "river",   "council", "summer", "letter", "market",
    "station", "library", "bridge", "evening", "harbour", "school", "ticket", "weather",
    "history", "village", "coffee", "notice",  "program", "member", "season", "concert"};

// A small, fast and fully determined source of variety; quality hardly matters.
class Lcg {
 public:
  explicit Lcg(std::uint32_t seed) : state_(seed * 2654435761u + 1) {}
  std::uint32_t Next(std::uint32_t bound) {
    state_ = state_ * 1664525u + 1013904223u;
    return (state_ >> 8) % bound;
  }

 private:
  std::uint32_t state_;
};

void Line(std::string& page, std::string_view indent, std::string_view text) {
  page.append(indent).append(text).append(kCrLf);
}

}  // namespace

std::string GeneratePage(std::size_t minBytes, std::uint32_t seed) {
  std::string page;
  page.reserve(minBytes + 512);
  Lcg random(seed);

  Line(page, "", "<!DOCTYPE html>");
  Line(page, "", "<html lang=\"en\">");
  Line(page, "", "<head>");
  Line(page, "  ",
       "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\" />");
  Line(page, "  ", "<title>Club news, page " + std::to_string(seed) + "</title>");
  Line(page, "  ", "<link rel=\"stylesheet\" href=\"style.css\" />");
  Line(page, "  ", "<style>p { margin: 0 0 1em 0; }</style>");
  Line(page, "", "</head>");
  Line(page, "", "<body bgcolor=\"white\" text = \"black\">");

  constexpr std::string_view kEnd = "</body>\r\n</html>\r\n";
  std::string line;
  for (int n = 1; page.size() + kEnd.size() < minBytes; ++n) {
    if (n % 23 == 0) {
      Line(page, "  ", "<script type=\"text/javascript\">");
      Line(page, "    ", "var visits = " + std::to_string(n) + "; if (visits < 3) { visits++; }");
      Line(page, "  ", "</script>");
      continue;
    }
    if (n % 31 == 0) {
      Line(page, "  ",
           "<!-- note " + std::to_string(n) + ": check the dates before publishing -->");
      continue;
    }
    if (n % 17 == 0) {
      page.append(kCrLf);
      continue;
    }
    line = "<p>";
    const std::uint32_t words = 8 + random.Next(12);
    for (std::uint32_t w = 0; w < words; ++w) {
      if (w > 0) line += ' ';
      line += kWords[random.Next(kWords.size())];
    }
    line += n % 7 == 0 ? ".<br />" : ".</p>";
    Line(page, n % 5 == 0 ? "\t" : "    ", line);
  }
  page.append(kEnd);
  return page;
}

}  // namespace kelvara::bench
