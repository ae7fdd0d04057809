#include <gtest/gtest.h>

#include <random>

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

  // Changed on the way as copies are (line ends made LF, a byte order mark,
  // its tags in another letter case), it still opens. Forged and resealed
  // (the SHA-256 of its data lines' texts, each with a LF): a slot that the
  // password opens onto a key of another length is none of its, and a count
  // with a leading zero, which the browser reads as another number, is damage.
  // The files hold a page's opening and data lines, which is what is read.
  for (const auto& [name, wanted] : {std::pair{"copied", OutcomeCode::Restored},
                                     {"short_key", OutcomeCode::WrongPassword},
                                     {"leading_zero", OutcomeCode::PageDamaged}}) {
    MemoryFileSystem copy;
    copy.files[kPage] = SourceFile(std::string("protect/testdata/strong_") + name + ".htm");
    EXPECT_EQ(RunPage({kPage, Mode::Restore}, PageKeys(nullptr, &opening), copy, TestRandom()),
              wanted)
        << name;
  }
}

}  // namespace
}  // namespace kelvara
