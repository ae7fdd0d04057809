#include "cli/page_run.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "protect/protect_page.h"
#include "restore/restore_page.h"
#include "testing/memory_file_system.h"
#include "testing/outcome_text.h"
#include "testing/fixed_random.h"
#include "text/text.h"

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
  // Blanks around it are trimmed by the scanner; but without the protected
  // head this is no protected page, and the restore leaves it.
  EXPECT_EQ(Run(Mode::kAuto, "b.htm"), kNotProtected);
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


// Random runs of protecting and restoring one page, with the right password
// and with near misses of it, in every mode. After each run some file (the
// page or one of its backups) must still give the plain page's text back
// with the right password.
class NothingIsLost : public ::testing::Test {
 protected:
  static constexpr char kRight[] = "rowing42";
  const std::vector<std::string> passwords = {kRight, "rowing43", "Rowing42", "rowing4",
                                              "rowing42 "};
  const std::vector<std::string> shown = {"Club news", "<p>Meeting on Friday at 19:30.</p>",
                                          "<p>Bring a friend &amp; a chair.</p>"};

  // True when `bytes`, read as a plain page or deciphered with the right
  // password, holds the title and the body lines of the first page.
  bool HoldsThePage(const std::string& bytes) const {
    MemoryFileSystem one;
    one.files[kPath] = bytes;
    TagScanner scanner(one);
    PageParts parts;
    if (IsProtectedPage(scanner, kPath)) {
      if (ReadProtectedPage(bytes, PageCipher(kRight), parts).Refused()) return false;
    } else if (ExtractPage(scanner, kPath, parts).Refused()) {
      return false;
    }
    std::vector<std::string> lines = {parts.titleText};
    std::size_t from = 0;
    for (std::size_t end; (end = parts.bodyText.find("\r\n", from)) != std::string::npos; from = end + 2) {
      const std::string line(TrimSpaces(std::string_view(parts.bodyText).substr(from, end - from)));
      if (!line.empty()) lines.push_back(line);
    }
    return lines == shown;
  }
};

TEST_F(NothingIsLost, WhateverTheUserTries) {
  std::mt19937 random(2026);
  for (int sequence = 0; sequence < 300; ++sequence) {
    MemoryFileSystem files;
    files.files[kPath] = "<html><head><title>Club news</title></head><body>\r\n" + shown[1] +
                         "\r\n" + shown[2] + "\r\n</body></html>";
    std::string steps;
    for (int step = 0; step < 10; ++step) {
      const auto mode = static_cast<Mode>(random() % 3);
      const std::string& password = passwords[random() % passwords.size()];
      steps += std::to_string(static_cast<int>(mode)) + ":" + password + " ";
      TagScanner scanner(files);
      RunPage(kPath, mode, PageCipher(password), scanner, files, TestRandom());
      bool kept = false;
      for (const char* suffix : {"", ".original", ".protected"}) {
        const auto file = files.files.find(std::string(kPath) + suffix);
        kept = kept || (file != files.files.end() && HoldsThePage(file->second));
      }
      ASSERT_TRUE(kept) << "lost after: " << steps;
    }
  }
}

}  // namespace
}  // namespace kelvara::cli
