#include "format/deflate.h"

#include <zlib.h>

#include <algorithm>
#include <new>

namespace kelvara {
namespace {

// Small pages, most of them, get the smaller stream; large ones the faster
// level, which costs a few percent of size and saves most of the time.
constexpr std::size_t kFastFrom = std::size_t{1} << 20;
constexpr std::size_t kSlice = std::size_t{1} << 20;

// zlib counts in unsigned ints; larger buffers go in pieces of this size.
constexpr std::size_t kZlibStep = std::size_t{1} << 30;

Bytef* Bytes(std::string_view text) {
  return reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
}

}  // namespace

std::string Deflate(std::string_view bytes) {
  z_stream stream{};
  const int level = bytes.size() < kFastFrom ? Z_DEFAULT_COMPRESSION : Z_BEST_SPEED;
  if (deflateInit(&stream, level) != Z_OK) throw std::bad_alloc();
  // Grown as the stream comes: a bound made for the worst case would take as
  // much memory as the page itself.
  std::string out(std::max<std::size_t>(bytes.size() / 4, 4096), '\0');
  std::size_t in = 0;
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    if (stream.avail_out == 0) {
      if (stream.total_out == out.size()) out.resize(out.size() + std::max(kSlice, out.size() / 2));
      stream.next_out = reinterpret_cast<Bytef*>(out.data()) + stream.total_out;
      stream.avail_out = static_cast<uInt>(std::min(out.size() - stream.total_out, kZlibStep));
    }
    if (stream.avail_in == 0 && in < bytes.size()) {
      const std::size_t step = std::min(bytes.size() - in, kZlibStep);
      stream.next_in = Bytes(bytes.substr(in, step));
      stream.avail_in = static_cast<uInt>(step);
      in += step;
    }
    status = deflate(&stream, in == bytes.size() ? Z_FINISH : Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) break;
  }
  const std::size_t size = stream.total_out;
  deflateEnd(&stream);
  if (status != Z_STREAM_END) throw std::bad_alloc();
  out.resize(size);
  return out;
}

bool Inflate(std::string_view bytes, const std::function<bool(std::string_view)>& take) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) throw std::bad_alloc();
  std::string slice(kSlice, '\0');
  std::size_t in = 0;
  int status = Z_OK;
  bool taken = true;
  while (status == Z_OK && taken) {
    if (stream.avail_in == 0 && in < bytes.size()) {
      const std::size_t step = std::min(bytes.size() - in, kZlibStep);
      stream.next_in = Bytes(bytes.substr(in, step));
      stream.avail_in = static_cast<uInt>(step);
      in += step;
    }
    stream.next_out = reinterpret_cast<Bytef*>(slice.data());
    stream.avail_out = static_cast<uInt>(slice.size());
    status = inflate(&stream, Z_NO_FLUSH);
    const std::size_t made = slice.size() - stream.avail_out;
    if (made > 0 && (status == Z_OK || status == Z_STREAM_END)) {
      taken = take(std::string_view(slice).substr(0, made));
    }
    // No progress with all the input given: the stream was cut short.
    if (status == Z_BUF_ERROR && in == bytes.size() && stream.avail_in == 0) break;
    if (status == Z_BUF_ERROR) status = Z_OK;
  }
  const bool whole = status == Z_STREAM_END && taken && stream.avail_in == 0 && in == bytes.size();
  inflateEnd(&stream);
  if (status == Z_MEM_ERROR) throw std::bad_alloc();
  return whole;
}

}  // namespace kelvara
