#include "bench/bench_pages.h"

#include <gtest/gtest.h>

#include <string>

#include "cipher/page_cipher.h"
#include "page/run_page.h"
#include "protect/protect_page.h"
#include "testing/fixed_random.h"
#include "testing/memory_file_system.h"
#include "testing/outcome_text.h"

namespace kelvara::bench {
namespace {

int CountOf(const std::string& text, const std::string& what) {
  int count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++count;
  return count;
}

// The numbers only mean something if the page is one that protection takes
// whole, with the scripts and comments it is said to have.
TEST(BenchPagesTest, LargePageIsProtectedWholeAndLosesItsScriptsAndComments) {
  constexpr std::size_t kBytes = std::size_t{1} << 20;
  const GeneratedPage page = GeneratePage(kBytes, 1);
  EXPECT_GE(page.bytes.size(), kBytes);
  EXPECT_LT(page.bytes.size(), kBytes + 512);
  EXPECT_GT(page.scripts, 100);
  EXPECT_GT(page.comments, 100);
  EXPECT_EQ(CountOf(page.bytes, "<script"), page.scripts);
  EXPECT_EQ(CountOf(page.bytes, "<!--"), page.comments);

  PageParts parts;
  ASSERT_EQ(Said(ExtractPage(page.bytes, "page.htm", parts)), "");
  EXPECT_EQ(parts.titleText, "Club news, page 1");
  EXPECT_EQ(parts.bodyAttributes, "bgcolor=\"white\" text=\"black\"");
  EXPECT_EQ(parts.bodyText.find("<script"), std::string::npos);
  EXPECT_EQ(parts.bodyText.find("<!--"), std::string::npos);
  EXPECT_EQ(parts.bodyText.find("visits"), std::string::npos);
  // Nearly all of the page is body text that gets enciphered.
  EXPECT_GT(parts.bodyText.size(), kBytes * 8 / 10);
}

TEST(BenchPagesTest, SmallPagesDifferAndSurviveProtectAndRestore) {
  MemoryFileSystem files;
  const PageCipher cipher(std::string("pages"));
  for (std::uint32_t seed = 1; seed <= 3; ++seed) {
    const GeneratedPage page = GeneratePage(5 * 1024, seed);
    const std::string path = "page-" + std::to_string(seed) + ".htm";
    files.files[path] = page.bytes;
    EXPECT_GE(page.bytes.size(), 5u * 1024);
    EXPECT_GE(page.scripts + page.comments, 1);

    ASSERT_EQ(Said(RunPage({path, Mode::Protect}, cipher, files, TestRandom())), "") << path;
    ASSERT_EQ(Said(RunPage({path, Mode::Restore}, cipher, files, TestRandom())), "") << path;
    EXPECT_EQ(files.files[path], page.bytes);
  }
  EXPECT_NE(files.files["page-1.htm"], files.files["page-2.htm"]);
}

TEST(BenchPagesTest, SameSeedSamePage) {
  EXPECT_EQ(GeneratePage(64 * 1024, 5).bytes, GeneratePage(64 * 1024, 5).bytes);
}

}  // namespace
}  // namespace kelvara::bench
