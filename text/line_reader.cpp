#include "text/line_reader.h"

#include <algorithm>

#include "text/text.h"

namespace kelvara {
namespace {

constexpr std::size_t kCheckBlock = std::size_t{16} << 10;

}  // namespace

void LineReader::CheckUpTo(std::size_t end) {
  if (end <= checked_) return;
  end = std::min(rest_.size(), std::max(end, checked_ + kCheckBlock));
  const std::size_t eof = rest_.substr(0, end).find('\x1A', checked_);
  if (eof != kNone) {
    rest_ = rest_.substr(0, eof);
    end = eof;
  }
  checked_ = end;
}

bool LineReader::Next(std::string_view& line) {
  std::size_t cr = rest_.find('\r');
  CheckUpTo(cr == kNone ? rest_.size() : cr);
  if (rest_.empty()) return false;
  if (cr >= rest_.size()) {  // none, or beyond an end-of-file byte
    line = rest_;
    rest_ = {};
    checked_ = 0;
    return true;
  }
  line = rest_.substr(0, cr);
  std::size_t next = cr + 1;
  if (next < rest_.size() && rest_[next] == '\n') ++next;
  rest_.remove_prefix(next);
  checked_ -= std::min(checked_, next);
  return true;
}

}  // namespace kelvara
