#include <string>

#include "cipher/sha256.h"
#include "cipher/strong_crypto.h"
#include "format/base64.h"
#include "format/deflate.h"
#include "format/strong_decoder.h"
#include "format/strong_format.h"
#include "protect/protect_page.h"
#include "text/text.h"

namespace kelvara {
namespace {

namespace format = strong_format;

// The texts of the payload line go out this many bytes of their source at a
// time: a multiple of three, so that the pieces of base64 join into one.
constexpr std::size_t kBase64Step = 3 * (std::size_t{1} << 18);

void AppendLines(std::string& out, std::string_view text) {
  for (std::size_t from = 0; from <= text.size();) {
    const std::size_t end = std::min(text.find('\n', from), text.size());
    out.append(text.substr(from, end - from)).append(kCrLf);
    from = end + 1;
  }
}

// Appends bytes as base64 and adds the text, and a LF, to the seal.
void AppendSealed(std::string& out, std::string_view bytes, Sha256& seal) {
  const std::size_t at = out.size();
  Base64Encode(out, bytes);
  seal.Update(std::string_view(out).substr(at));
  seal.Update("\n");
}

}  // namespace

void WriteStrongPage(std::string_view page, const StrongKeys& keys, RandomSource& random,
                     PageSink& sink) {
  std::string& out = sink.Buffer();
  out.append(format::kOpening);
  AppendLines(out, StrongPageHead());
  out.append("</head>\r\n<body>\r\n");
  AppendLines(out, StrongPageBody());
  out.append("<script>\r\n");

  Sha256 seal;
  out.append(format::kStrongCall);
  AppendSealed(out, keys.Salt(), seal);
  const std::string iterations = std::to_string(keys.Iterations());
  out.append(format::kNumberBetween).append(iterations).append(format::kNumberEnd).append(kCrLf);
  seal.Update(iterations + "\n");

  // Each page has a content key and nonces of its own; each password's key
  // only wraps the content key.
  const std::string contentKey = random.Bytes(kAesGcmKeySize);
  for (const std::string& key : keys.Keys()) {
    const std::string nonce = random.Bytes(kAesGcmNonceSize);
    out.append(format::kSlotCall);
    AppendSealed(out, nonce, seal);
    out.append(format::kBetween);
    AppendSealed(out, SealAesGcm(key, nonce, format::kSlotData, contentKey), seal);
    out.append(format::kCallEnd).append(kCrLf);
  }

  const std::string nonce = random.Bytes(kAesGcmNonceSize);
  const std::string data = SealAesGcm(contentKey, nonce, format::kPayloadData, Deflate(page));
  out.append(format::kPayloadCall);
  AppendSealed(out, nonce, seal);
  out.append(format::kBetween);
  for (std::size_t from = 0; from < data.size(); from += kBase64Step) {
    const std::size_t at = out.size();
    Base64Encode(out, std::string_view(data).substr(from, kBase64Step));
    seal.Update(std::string_view(out).substr(at));
    sink.WriteFullSlices();
  }
  seal.Update("\n");
  out.append(format::kCallEnd).append(kCrLf);
  out.append(format::kSealCall).append(Hex(seal.Finish())).append(format::kCallEnd).append(kCrLf);
  out.append("</script>\r\n</body>\r\n</html>\r\n");
}

}  // namespace kelvara
