#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "cipher/sha256.h"
#include "cipher/strong_crypto.h"
#include "format/base64.h"
#include "format/strong_format.h"
#include "page/run_page.h"
#include "protect/protect_page.h"
#include "restore/restore_page.h"
#include "testing/fixed_random.h"
#include "testing/memory_file_system.h"
#include "testing/source_file.h"

namespace kelvara {
namespace {

const std::string kPage = "club/members.htm";

// Words that none of the page's fixed parts holds, so that any run of them
// in a strong page would be the author's text showing through.
std::string Words() {
  std::mt19937 random(7);
  std::string text;
  while (text.size() < 3000) text += "qzx" + std::to_string(random()) + "wvk ";
  return text;
}

std::string SecretPage(const std::string& text) {
  return "<!DOCTYPE html>\r\n<html lang=\"fr\">\r\n<head>\r\n<title>" + text.substr(0, 40) +
         "</title>\r\n<meta name=\"description\" content=\"" + text.substr(40, 60) +
         "\">\r\n</head>\r\n<body class=\"" + text.substr(100, 20) + "\">\r\n" + text.substr(120) +
         "\r\n</body>\r\n</html>\r\n";
}

// A page protected with two passwords, with a fixed salt, content key and
// nonces, is the same to the byte on every platform (so one made on Linux
// opens under Windows and back: protect/testdata/strong.htm holds it, made
// by the other), opens with either password back to the author's page, and
// refuses any other. No run of eight bytes of the author's text shows in it,
// and any change to its data is told as damage, never as a wrong password.
TEST(StrongPages, SameEverywhereOpenedByEachPasswordAndSealed) {
  const std::string text = Words();
  const std::string page = SecretPage(text);
  StrongKeys keys({"first password", "\xE5\xAF\x86\xE7\xA0\x81"}, 1000, TestRandom());
  MemoryFileSystem files;
  files.files[kPage] = page;
  ASSERT_EQ(RunPage({kPage}, PageKeys(nullptr, &keys), files, TestRandom()),
            OutcomeCode::Protected);
  const std::string made = files.files.at(kPage);
  EXPECT_TRUE(made == SourceFile("protect/testdata/strong.htm")) << made;
  EXPECT_TRUE(made.find("<title>Kelvara</title>") != std::string::npos &&
              made.find("noindex") != std::string::npos);
  for (std::size_t at = 0; at + 8 <= text.size(); ++at) {
    ASSERT_EQ(made.find(text.substr(at, 8)), std::string::npos) << text.substr(at, 8);
  }

  for (const std::string password :
       {"first password", "\xE5\xAF\x86\xE7\xA0\x81", "first passwor"}) {
    MemoryFileSystem copy = files;
    StrongKeys opening(password);
    const Outcome outcome =
        RunPage({kPage, Mode::Restore}, PageKeys(nullptr, &opening), copy, TestRandom());
    EXPECT_EQ(outcome, password.size() == 13 ? OutcomeCode::WrongPassword : OutcomeCode::Restored);
    EXPECT_EQ(copy.files.at(kPage), password.size() == 13 ? made : page);
  }

  StrongKeys opening("first password");
  const std::size_t data = made.find("VetrakStrong(\"");
  std::string stream;
  for (std::size_t at = data; at < made.find("\n</script>", data); ++at) {
    std::string changed = made;
    changed[at] = static_cast<char>(changed[at] ^ 0x01);
    ASSERT_EQ(ReadStrongPage(changed, opening, stream), OutcomeCode::PageDamaged) << at;
  }

  // Copied with its line ends made LF, a byte order mark before it and its
  // tags in another letter case, it still opens. Resealed as a forger would (every
  // text of its data lines, each with a LF), a count with a leading zero,
  // which the browser reads as another number, is damage.
  const std::string copied =
      "\xEF\xBB\xBF<!doctype html>\n<HTML LANG" +
      std::regex_replace(made.substr(made.find(" lang") + 5), std::regex("\r\n"), "\n");
  MemoryFileSystem copy;
  copy.files[kPage] = copied;
  EXPECT_EQ(RunPage({kPage, Mode::Restore}, PageKeys(nullptr, &opening), copy, TestRandom()),
            OutcomeCode::Restored);
  const auto resealed = [](std::string forged) {
    const std::size_t to = forged.find("VetrakSealed(\"");
    const std::regex quoted("\"([^\"]*)\"|, (\\d+)\\)");
    Sha256 seal;
    for (std::sregex_iterator it(forged.begin() + forged.find("VetrakStrong(\""),
                                 forged.begin() + to, quoted);
         it != std::sregex_iterator(); ++it) {
      seal.Update((*it)[(*it)[1].matched ? 1 : 2].str() + "\n");
    }
    return forged.replace(to + 14, 64, Hex(seal.Finish()));
  };
  ASSERT_TRUE(resealed(made) == made);
  // A slot that the password opens onto a key of another length is none of its.
  std::string forged = made;
  const std::size_t slot = made.find("VetrakSlot(\"") + 32;  // its wrapped key's text
  std::string wrapped;
  Base64Encode(wrapped, SealAesGcm(keys.Keys().front(), TestRandom().Bytes(kAesGcmNonceSize),
                                   strong_format::kSlotData, std::string(16, 'k')));
  forged.replace(slot, made.find('"', slot) - slot, wrapped);
  EXPECT_EQ(ReadStrongPage(resealed(forged), opening, stream), OutcomeCode::WrongPassword);
  EXPECT_EQ(ReadStrongPage(resealed(std::regex_replace(made, std::regex(", 1000\\)"), ", 01000)")),
                           opening, stream),
            OutcomeCode::PageDamaged);
}

}  // namespace
}  // namespace kelvara
