#include "bench/bench_pages.h"

#include <gtest/gtest.h>

#include <string>

#include "cipher/page_cipher.h"
#include "page/run_page.h"
#include "testing/fixed_random.h"
#include "testing/memory_file_system.h"
#include "testing/outcome_text.h"

namespace kelvara::bench {
namespace {

// The figures only mean something if the page is of the size asked, always
// the same for a seed, with scripts and comments all through it, and
// one that protection takes and restoring gives back whole.
TEST(BenchPagesTest, PagesAreAsSaidAndSurviveProtectAndRestore) {
  constexpr std::size_t kBytes = std::size_t{1} << 20;
  const std::string page = GeneratePage(kBytes, 1);
  EXPECT_TRUE(page.size() >= kBytes && page.size() < kBytes + 512);
  EXPECT_TRUE(page.find("<script") < 4096 && page.rfind("<!--") > kBytes - 4096);
  EXPECT_TRUE(GeneratePage(kBytes, 1) == page && GeneratePage(kBytes, 2) != page);

  // Inflated 1 MiB at a time on restoring, the page ends one byte past that.
  std::string exact = GeneratePage(kBytes - 1024, 3);
  exact.resize(kBytes + 1, ' ');
  MemoryFileSystem files;
  files.files["page.htm"] = exact;
  const PageCipher cipher(std::string("pages"));
  ASSERT_EQ(Said(RunPage({"page.htm", Mode::Protect}, cipher, files, TestRandom())), "");
  ASSERT_EQ(Said(RunPage({"page.htm", Mode::Restore}, cipher, files, TestRandom())), "");
  EXPECT_TRUE(files.files["page.htm"] == exact);
}

}  // namespace
}  // namespace kelvara::bench
