#include <charconv>
#include <vector>

#include "cipher/sha256.h"
#include "cipher/strong_crypto.h"
#include "format/base64.h"
#include "format/strong_format.h"
#include "restore/restore_page.h"
#include "text/text.h"
#include "text/windows1252.h"

namespace kelvara {
namespace {

namespace format = strong_format;

// The texts of a data line, trimmed: its lead-in, one or two texts in
// quotes (the second may be a number) and its tail.
bool DataTexts(std::string_view line, std::string_view call, bool numbered,
               std::vector<std::string_view>& texts) {
  texts.clear();
  if (!line.starts_with(call)) return false;
  line.remove_prefix(call.size());
  const std::string_view between = numbered ? format::kNumberBetween : format::kBetween;
  const std::string_view end = numbered ? format::kNumberEnd : format::kCallEnd;
  const std::size_t split = line.find(between);
  if (split != kNone) {
    texts.push_back(line.substr(0, split));
    line.remove_prefix(split + between.size());
  }
  if (!line.ends_with(end)) return false;
  texts.push_back(line.substr(0, line.size() - end.size()));
  return true;
}

// The next line of a strong page. Its writer ends lines with CR LF; a copy
// may have had them changed to LF on the way to a server.
bool NextLine(std::string_view& rest, std::string_view& line) {
  if (rest.empty()) return false;
  const std::size_t end = rest.find('\n');
  line = rest.substr(0, end);
  rest.remove_prefix(end == kNone ? rest.size() : end + 1);
  if (line.ends_with('\r')) line.remove_suffix(1);
  return true;
}

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

struct Slot {
  std::string nonce;
  std::string wrapped;
};

}  // namespace

// Also after the changes that copying or saving a page may make on the way:
// line ends changed to LF, a byte order mark put before it, the letter case
// of its tags. Only its data lines are read, and the seal covers them.
bool IsStrongPage(std::string_view bytes) {
  if (bytes.starts_with(kUtf8Mark)) bytes.remove_prefix(kUtf8Mark.size());
  std::size_t at = 0;
  for (const char wanted : format::kOpening) {
    if (wanted == '\r') {
      if (bytes.substr(at, 1) == "\r") ++at;
    } else if (at == bytes.size() || Lower(bytes[at++]) != Lower(wanted)) {
      return false;
    }
  }
  return true;
}

Outcome ReadStrongPage(std::string_view bytes, StrongKeys& keys, std::string& stream) {
  stream.clear();
  const Outcome damaged = OutcomeCode::PageDamaged;
  std::string_view rest = bytes;
  std::string_view line;
  std::vector<std::string_view> texts;
  // The data lines follow each other in this order; nothing else counts.
  do {
    if (!NextLine(rest, line)) return damaged;
    line = TrimSpaces(line);
  } while (!DataTexts(line, format::kStrongCall, true, texts));
  Sha256 seal;
  const auto sealed = [&seal](std::string_view text) {
    seal.Update(text);
    seal.Update("\n");
  };
  std::string salt;
  std::uint32_t iterations = 0;
  // The count as its writer writes it, without leading zeros, which the
  // decoder script would read as another number.
  if (texts.size() != 2 || !Base64Decode(texts[0], salt) || texts[1].starts_with('0') ||
      std::from_chars(texts[1].data(), texts[1].data() + texts[1].size(), iterations).ptr !=
          texts[1].data() + texts[1].size() ||
      iterations == 0 || iterations > format::kMostIterations) {
    return damaged;
  }
  sealed(texts[0]);
  sealed(texts[1]);

  std::vector<Slot> slots;
  std::string nonce;
  std::string data;
  for (;;) {
    if (!NextLine(rest, line)) return damaged;
    line = TrimSpaces(line);
    const bool slot = DataTexts(line, format::kSlotCall, false, texts);
    if (!slot && !DataTexts(line, format::kPayloadCall, false, texts)) return damaged;
    if (texts.size() != 2) return damaged;
    sealed(texts[0]);
    sealed(texts[1]);
    if (!slot) {
      if (!Base64Decode(texts[0], nonce) || !Base64Decode(texts[1], data)) return damaged;
      break;
    }
    Slot& added = slots.emplace_back();
    if (!Base64Decode(texts[0], added.nonce) || !Base64Decode(texts[1], added.wrapped)) {
      return damaged;
    }
  }
  std::string sealFound;
  if (!NextLine(rest, line) || !DataTexts(TrimSpaces(line), format::kSealCall, false, texts) ||
      texts.size() != 1 || !ReadHex(texts[0], sealFound) || sealFound != seal.Finish()) {
    return damaged;
  }
  const auto nonceFits = [](const std::string& text) { return text.size() == kAesGcmNonceSize; };
  if (salt.size() != format::kSaltSize || !nonceFits(nonce) || slots.empty()) return damaged;
  for (const Slot& each : slots) {
    if (!nonceFits(each.nonce)) return damaged;
  }

  // The password opens the page when its key opens any slot; a page that a
  // slot opens and whose payload does not was changed.
  const std::string& key = keys.KeyFor(salt, iterations);
  std::string contentKey;
  for (const Slot& each : slots) {
    if (OpenAesGcm(key, each.nonce, format::kSlotData, each.wrapped, contentKey) &&
        contentKey.size() == kAesGcmKeySize) {
      return OpenAesGcm(contentKey, nonce, format::kPayloadData, data, stream) ? OutcomeCode::Done
                                                                               : damaged;
    }
  }
  return OutcomeCode::WrongPassword;
}

}  // namespace kelvara
