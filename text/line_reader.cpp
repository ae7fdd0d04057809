#include "text/line_reader.h"

namespace kelvara {

LineReader::LineReader(std::string_view bytes) : rest_(bytes.substr(0, bytes.find('\x1A'))) {}

bool LineReader::Next(std::string_view& line) {
  if (rest_.empty()) return false;
  const std::size_t cr = rest_.find('\r');
  if (cr == std::string_view::npos) {
    line = rest_;
    rest_ = {};
    return true;
  }
  line = rest_.substr(0, cr);
  std::size_t next = cr + 1;
  if (next < rest_.size() && rest_[next] == '\n') ++next;
  rest_.remove_prefix(next);
  return true;
}

}  // namespace kelvara
