#include "format/deflate.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace kelvara {
namespace {

// Small pages, most of them, get the smaller stream; large ones the faster
// level, which costs a few percent of size and saves most of the time.
constexpr std::size_t kFastFrom = std::size_t{1} << 20;
// A large page is deflated in pieces of this size, side by side on the
// machine's cores; each piece starts from the last 32 KiB before it, so the
// stream is hardly longer than one made in one piece, and the same whatever
// the number of cores.
constexpr std::size_t kPiece = std::size_t{1} << 20;
constexpr std::size_t kWindow = std::size_t{32} << 10;
constexpr std::size_t kSlice = std::size_t{1} << 20;

// zlib counts in unsigned ints; larger buffers go in steps of this size.
constexpr std::size_t kZlibStep = std::size_t{1} << 30;

// Ends a zlib stream however the work on it ends, a throw from the page's
// sink included.
using Ending = std::unique_ptr<z_stream, int (*)(z_streamp)>;

Bytef* Bytes(std::string_view text) {
  return reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
}

// Deflates `bytes` into `out` with a stream that zlib has set up: to its
// end when `last`, else up to a byte boundary that the next piece can follow.
void Compress(z_stream& stream, std::string_view bytes, bool last, std::string& out) {
  // Grown as the stream comes: a bound made for the worst case would take as
  // much memory as the page itself.
  out.resize(std::max<std::size_t>(bytes.size() / 4, 4096));
  std::size_t in = 0;
  std::size_t made = 0;
  const int finish = last ? Z_FINISH : Z_SYNC_FLUSH;
  for (;;) {
    if (stream.avail_in == 0 && in < bytes.size()) {
      const std::size_t step = std::min(bytes.size() - in, kZlibStep);
      stream.next_in = Bytes(bytes.substr(in, step));
      stream.avail_in = static_cast<uInt>(step);
      in += step;
    }
    if (made == out.size()) out.resize(out.size() + std::max(kSlice, out.size() / 2));
    stream.next_out = reinterpret_cast<Bytef*>(out.data()) + made;
    const std::size_t room = std::min(out.size() - made, kZlibStep);
    stream.avail_out = static_cast<uInt>(room);
    const int status = deflate(&stream, in == bytes.size() ? finish : Z_NO_FLUSH);
    made += room - stream.avail_out;
    if (status == Z_STREAM_ERROR) throw std::bad_alloc();
    const bool done = last ? status == Z_STREAM_END : in == bytes.size() && stream.avail_out > 0;
    if (done) break;
  }
  out.resize(made);
}

std::string DeflateWhole(std::string_view bytes, int level) {
  z_stream stream{};
  if (deflateInit(&stream, level) != Z_OK) throw std::bad_alloc();
  const Ending ending(&stream, deflateEnd);
  std::string out;
  Compress(stream, bytes, true, out);
  return out;
}

// One piece as raw deflate data, primed with the window before it.
std::string DeflatePiece(std::string_view page, std::size_t at, bool last) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::bad_alloc();
  }
  const Ending ending(&stream, deflateEnd);
  const std::size_t from = at - std::min(at, kWindow);
  if (at > 0) {
    deflateSetDictionary(&stream, Bytes(page.substr(from, at - from)),
                         static_cast<uInt>(at - from));
  }
  std::string out;
  Compress(stream, page.substr(at, kPiece), last, out);
  return out;
}

void AppendBigEndian(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

}  // namespace

std::string Deflate(std::string_view bytes) {
  if (bytes.size() < kFastFrom) return DeflateWhole(bytes, Z_DEFAULT_COMPRESSION);
  const std::size_t count = (bytes.size() + kPiece - 1) / kPiece;
  std::vector<std::string> pieces(count);
  std::vector<uLong> checks(count);
  std::atomic<std::size_t> next = 0;
  std::exception_ptr failure;
  std::atomic<bool> failed = false;
  const auto work = [&] {
    try {
      for (std::size_t i = next++; i < count && !failed; i = next++) {
        pieces[i] = DeflatePiece(bytes, i * kPiece, i + 1 == count);
        const std::string_view piece = bytes.substr(i * kPiece, kPiece);
        checks[i] = adler32(adler32(0, nullptr, 0), Bytes(piece), static_cast<uInt>(piece.size()));
      }
    } catch (...) {
      if (!failed.exchange(true)) failure = std::current_exception();
    }
  };
  std::vector<std::thread> helpers;
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  try {
    for (unsigned i = 1; i < std::min<std::size_t>(cores, count); ++i) helpers.emplace_back(work);
  } catch (const std::system_error&) {
    // No thread to spare: this one does it all.
  }
  work();
  for (std::thread& helper : helpers) helper.join();
  if (failure) std::rethrow_exception(failure);

  // A zlib stream: its header (deflate, a 32 KiB window, the fastest level),
  // the pieces one after the other, and the Adler-32 of the page.
  std::size_t size = 6;
  for (const std::string& piece : pieces) size += piece.size();
  std::string out("\x78\x01", 2);
  out.reserve(size);
  for (std::string& piece : pieces) {
    out.append(piece);
    std::string().swap(piece);
  }
  uLong check = checks[0];
  for (std::size_t i = 1; i < count; ++i) {
    check = adler32_combine(check, checks[i],
                            static_cast<z_off_t>(std::min(kPiece, bytes.size() - i * kPiece)));
  }
  AppendBigEndian(out, static_cast<std::uint32_t>(check));
  return out;
}

bool Inflate(std::string_view bytes, const std::function<bool(std::string_view)>& take) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) throw std::bad_alloc();
  const Ending ending(&stream, inflateEnd);
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
  if (status == Z_MEM_ERROR) throw std::bad_alloc();
  return whole;
}

}  // namespace kelvara
