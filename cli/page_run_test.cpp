#include "cli/page_run.h"

#include <gtest/gtest.h>

#include "protect/protect_page.h"
#include "restore/restore_page.h"
#include "testing/memory_file_system.h"
#include "testing/outcome_text.h"
#include "testing/fixed_random.h"

namespace kelvara::cli {
namespace {

constexpr char kPath[] = "site/a.htm";
const std::string kPlain =
    "<html>\r\n<head>\r\n<title>Home</title>\r\n</head>\r\n<body>\r\nHello\r\n</body>\r\n</"
    "html>\r\n";

class PageRunTest : public ::testing::Test {
 protected:
  std::string Run(Mode mode, const std::string& path = kPath) {
    return std::string(RunPage(path, mode, cipher, scanner, files, TestRandom()).Text());
  }
  bool IsProtected(const std::string& path = kPath) {
    return files.files.at(path).find("<title>Kelvara</title>") != std::string::npos;
  }

  MemoryFileSystem files;
  PageCipher cipher{"pw"};
  TagScanner scanner{files};
};

TEST_F(PageRunTest, DecidesByTheTitleAndRoundTrips) {
  files.files[kPath] = kPlain;
  std::string outcome = Run(Mode::kAuto);
    EXPECT_EQ(outcome, kProtectedText);
  EXPECT_TRUE(IsProtected());
  EXPECT_EQ(files.files.at(std::string(kPath) + ".original"), kPlain);

  outcome = Run(Mode::kAuto);
    EXPECT_EQ(outcome, kRestoredText);
  EXPECT_FALSE(IsProtected());
  EXPECT_NE(files.files.at(kPath).find("<title>Home</title>"), std::string::npos);
  EXPECT_NE(files.files.at(kPath).find("Hello"), std::string::npos);
}

// Restoring does not clear the scanner's cache by itself: were the scan of
// the protected page kept, the same name would be judged protected again.
TEST_F(PageRunTest, APageRewrittenEarlierIsScannedAfresh) {
  files.files[kPath] = kPlain;
  ASSERT_EQ(Run(Mode::kAuto), kProtectedText);
  ASSERT_EQ(Run(Mode::kRestore), kRestoredText);
  std::string outcome = Run(Mode::kProtect);
  EXPECT_EQ(outcome, kProtectedText);
  EXPECT_TRUE(IsProtected());

  // And the other way: a scan left by someone else is no answer either.
  ASSERT_TRUE(scanner.FindTag(kPath, "title", 1));
  files.files[kPath] = kPlain;
  outcome = Run(Mode::kRestore);
  
  EXPECT_EQ(outcome, kNotProtected);
}

TEST_F(PageRunTest, ForcedModesRefuseTheOtherKindUntouched) {
  files.files[kPath] = kPlain;
  std::string outcome = Run(Mode::kRestore);
  
  EXPECT_EQ(outcome, "File is not protected by Kelvara.");
  EXPECT_EQ(files.files.at(kPath), kPlain);

  ASSERT_EQ(Run(Mode::kProtect), kProtectedText);
  const std::string protectedPage = files.files.at(kPath);
  files.files.erase(std::string(kPath) + ".original");
  outcome = Run(Mode::kProtect);
  
  EXPECT_EQ(outcome, "File is already protected by Kelvara.");
  EXPECT_EQ(files.files.at(kPath), protectedPage);
  EXPECT_EQ(files.files.count(std::string(kPath) + ".original"), 0u);
}

TEST_F(PageRunTest, TheTitleMustBeExactlyTheProductName) {
  files.files[kPath] = "<html><head><title>kelvara</title></head><body>x</body></html>";
  EXPECT_EQ(Run(Mode::kAuto), kProtectedText);
  files.files["b.htm"] = "<html><head><title>  Kelvara  </title></head><body>x</body></html>";
  // Blanks around it are trimmed by the scanner; this is no protected page,
  // so the restore finds it damaged and leaves it.
  const std::string outcome = Run(Mode::kAuto, "b.htm");
  
  EXPECT_EQ(outcome, kPageDamaged);
}

TEST_F(PageRunTest, PassesOnTheCoresRefusals) {
  files.files[kPath] = "<html><body>no head</body></html>";
  std::string outcome = Run(Mode::kAuto);
  
  EXPECT_EQ(outcome, kHeadMissing);

  files.files[kPath] = kPlain;
  files.readOnly.insert(kPath);
  outcome = Run(Mode::kProtect);
  
  EXPECT_EQ(outcome, kPageReadOnly);
  EXPECT_EQ(files.files.at(kPath), kPlain);
}

}  // namespace
}  // namespace kelvara::cli
