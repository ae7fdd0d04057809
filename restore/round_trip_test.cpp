#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "protect/protect_page.h"
#include "restore/restore_page.h"
#include "testing/memory_file_system.h"
#include "files/atomic_write.h"
#include "text/text.h"
#include "testing/outcome_text.h"
#include "testing/fixed_random.h"

namespace kelvara {
namespace {

constexpr char kPage[] = "pages/generated.htm";

// Makes pages of random structure. With `anyBytes` the text between the
// tags may hold every byte value; without it the text is printable and free
// of markup characters, as on a real page, so that a restored page scans
// into the same parts again.
class PageGenerator {
 public:
  PageGenerator(unsigned seed, bool anyBytes) : rng_(seed), anyBytes_(anyBytes) {}

  std::string Page() {
    std::string page;
    if (Chance(3)) page += "<!DOCTYPE html>" + Break();
    page += "<html lang=en>" + Break() + Head() + Break() + Body() + Break() + "</html>";
    if (Chance(4)) page += Break() + Text(20);
    return page;
  }

  std::string Password() {
    const int length = Number(0, 12);
    std::string password;
    for (int i = 0; i < length; ++i) password.push_back(static_cast<char>(Number(1, 255)));
    return password;
  }

 private:
  int Number(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
  bool Chance(int oneIn) { return Number(1, oneIn) == 1; }
  template <typename T>
  const T& Pick(std::initializer_list<T> choices) {
    return choices.begin()[Number(0, static_cast<int>(choices.size()) - 1)];
  }

  std::string Blanks() { return std::string(Chance(3) ? Number(1, 3) : 0, ' '); }
  std::string Break() {
    return Blanks() + Pick<std::string>({"\r\n", "\r\n", "\r", "\r\n\r\n", "\r\n  \r\n"}) +
           Blanks();
  }

  std::string Text(int maxLength) {
    std::string text;
    const int length = Number(0, maxLength);
    for (int i = 0; i < length; ++i) {
      if (anyBytes_) {
        text.push_back(static_cast<char>(Number(0, 255)));
      } else {
        char c;
        do {
          c = static_cast<char>(Chance(8) ? Number(0xA0, 0xFF) : Number(' ', '~'));
        } while (c == '<' || c == '>');
        text.push_back(c);
      }
    }
    return text;
  }

  std::string Script() {
    std::string script = Pick<std::string>({"<script>", "<SCRIPT type=x>", "<Script>"}) + Text(15);
    if (Chance(3)) script += Break() + Text(10);
    if (Chance(4)) script += "<!-- " + Text(5) + " -->";
    return script + (Chance(12) ? "" : Pick<std::string>({"</script>", "</SCRIPT>"}));
  }

  std::string Head() {
    std::string head = Pick<std::string>({"<head>", "<HEAD>", "<head >"});
    const int lines = Number(0, 5);
    const int titleAt = Chance(6) ? -1 : Number(0, lines);
    for (int i = 0; i <= lines; ++i) {
      head += Break();
      if (i == titleAt) {
        head += Pick<std::string>({"<title>", "<TITLE>", "<Title>", "<title lang=en>"}) + Text(12) +
                Pick<std::string>({"</title>", "</TITLE>"});
      } else {
        head += Pick<std::string>(
                    {"<meta charset=windows-1252>", "<link rel=stylesheet href=a.css />",
                     "<style>p { color: red; }</style>", "<script>var a = 1;</script>", ""}) +
                Text(8);
      }
    }
    return head + Break() + "</head>";
  }

  std::string Attributes() {
    switch (Number(0, 4)) {
      case 0:
        return "";
      case 1:
        return " bgcolor = white  text= black";
      case 2:
        return Break() + "class=main" + Break() + "id = top";
      case 3:
        return " onload=\"init()\"";
      default: {
        std::string text = " data-x=" + Text(6);
        if (!anyBytes_) return text;
        for (char& c : text) {
          if (c == '<' || c == '>') c = '.';  // markup characters would end the tag, not test it
        }
        return text;
      }
    }
  }

  std::string Body() {
    std::string body = Pick<std::string>({"<body", "<BODY", "<Body"}) + Attributes() + ">";
    const int lines = Number(0, 12);
    for (int i = 0; i < lines; ++i) {
      body += Break();
      switch (Number(0, 7)) {
        case 0:
          body += Script();
          break;
        case 1:
          body += "<!--" + Text(10) + (Chance(10) ? "" : "-->");
          break;
        case 2:
          body += "<p>" + Text(20) + "</p>";
          break;
        case 3:
          body += "\t" + Text(10);
          break;
        case 4:
          body += Text(6) + "<b>" + Script() + "</b>" + Text(6);
          break;
        case 5:
          body += "window.document.write('" + Text(5) + "')";
          break;
        default:
          body += Text(30);
          break;
      }
    }
    return body + Break() + Pick<std::string>({"</body>", "</BODY>"});
  }

  std::mt19937 rng_;
  bool anyBytes_;
};

// What restoration must give back of a body: its non-blank pieces, each
// followed by CR LF.
std::string ShownBody(const std::string& bodyText) {
  std::string shown;
  std::size_t from = 0;
  for (;;) {
    const std::size_t end = bodyText.find("\r\n", from);
    const std::string piece =
        bodyText.substr(from, end == std::string::npos ? std::string::npos : end - from);
    if (!IsBlank(piece)) shown += piece + "\r\n";
    if (end == std::string::npos) return shown;
    from = end + 2;
  }
}

// Protects the page held in `files` under kPage; gives the reason, if any.
std::string Protect(MemoryFileSystem& files, const PageCipher& cipher) {
  TagScanner scanner(files);
  return Said(ProtectPage(kPage, cipher, scanner, files, TestRandom()));
}

void CheckRoundTrip(const std::string& page, const PageCipher& cipher) {
  MemoryFileSystem files;
  files.files[kPage] = page;
  TagScanner scanner(files);
  PageParts extracted;
  const std::string refusal = Said(ExtractPage(scanner, kPage, extracted));
  if (!refusal.empty()) {
    ASSERT_EQ(Protect(files, cipher), refusal);
    ASSERT_EQ(files.files.at(kPage), page);
    return;
  }
  ASSERT_EQ(Protect(files, cipher), "");
  const std::string protectedPage = files.files.at(kPage);

  PageParts restored;
  ASSERT_EQ(Said(ReadProtectedPage(protectedPage, cipher, restored)), "");
  EXPECT_EQ(restored.titleText, extracted.titleText);
  EXPECT_EQ(restored.bodyText, ShownBody(extracted.bodyText));
  EXPECT_EQ(restored.bodyAttributes, extracted.bodyAttributes);
  ASSERT_EQ(Said(RestorePage(kPage, cipher, files)), "");
  EXPECT_EQ(files.files.at(kPage), BuildPlainPage(restored));
  EXPECT_EQ(files.files.at(std::string(kPage) + std::string(kProtectedSuffix)), protectedPage);
}

TEST(RoundTrip, RestoringGivesBackWhatProtectionKept) {
  for (const bool anyBytes : {false, true}) {
    PageGenerator generate(anyBytes ? 7 : 11, anyBytes);
    for (int i = 0; i < 1500; ++i) {
      const std::string page = generate.Page();
      const PageCipher cipher(generate.Password());
      if (cipher.EnciphersNothing()) continue;
      SCOPED_TRACE(::testing::Message() << (anyBytes ? "any bytes" : "text") << " page " << i);
      CheckRoundTrip(page, cipher);
      if (::testing::Test::HasFailure()) return;
    }
  }
}

TEST(RoundTrip, ProtectingARestoredPageAgainIsStable) {
  PageGenerator generate(23, false);
  int cycled = 0;
  for (int i = 0; i < 1500; ++i) {
    MemoryFileSystem files;
    files.files[kPage] = generate.Page();
    const PageCipher cipher(generate.Password());
    if (!Protect(files, cipher).empty()) continue;
    std::string pages[3];
    for (std::string& protectedPage : pages) {
      ASSERT_EQ(Said(RestorePage(kPage, cipher, files)), "") << "page " << i;
      ASSERT_EQ(Protect(files, cipher), "") << "page " << i;
      protectedPage = files.files.at(kPage);
    }
    ASSERT_EQ(pages[0], pages[1]) << "page " << i;
    ASSERT_EQ(pages[1], pages[2]) << "page " << i;
    ++cycled;
  }
  EXPECT_GT(cycled, 1000);  // most generated pages have a head and a body
}

// Each file operation of protecting or restoring a page fails in turn, or
// runs out of memory, with older backups in place, on a file system with
// hard links and on one without. Whatever happens the page is the old one or
// the new one, a backup the older one or the old page, no temporary file is
// left, and a failure is told as a refusal.
class FaultWalk : public ::testing::TestWithParam<std::tuple<bool, bool>> {
 protected:
  bool Protecting() const { return std::get<0>(GetParam()); }
  MemoryFileSystem Fresh() const {
    MemoryFileSystem files;
    files.hardLinks = std::get<1>(GetParam());
    files.files[kPage] = page;
    files.files[std::string(kPage) + ".original"] = "older backup";
    files.files[std::string(kPage) + ".protected"] = "older backup";
    return files;
  }
  Outcome Run(MemoryFileSystem& files) {
    TagScanner scanner(files);
    return Protecting() ? ProtectPage(kPage, cipher, scanner, files, TestRandom())
                        : RestorePage(kPage, cipher, files);
  }
  // `failed` is the operation that failed, if one did.
  void ExpectWholeAndTidy(const MemoryFileSystem& files, Outcome outcome,
                          std::optional<FileOp> failed) const {
    const std::string backup = std::string(kPage) + (Protecting() ? ".original" : ".protected");
    // Compared whole but not shown: the pages are megabytes long.
    const std::string& now = files.files.at(kPage);
    const std::string& kept = files.files.at(backup);
    if (outcome.Refused()) {
      EXPECT_TRUE(now == page) << outcome.Text();
      // Only when the page itself cannot be put in place has the backup moved on.
      const bool lastStep = failed == FileOp::kReplace;
      EXPECT_TRUE(kept == "older backup" || (lastStep && kept == page)) << outcome.Text();
    } else {
      EXPECT_TRUE(now == done) << now.substr(0, 2000);
      EXPECT_TRUE(kept == page);
    }
    EXPECT_TRUE(files.Temporaries().empty());
  }

  PageCipher cipher{"walk"};
  std::string page;
  std::string done;
};

TEST_P(FaultWalk, EveryFailureLeavesWholeFiles) {
  // Big enough that the new page goes out in several writes.
  std::string body;
  while (body.size() < (std::size_t{3} << 20)) {
    body += "<p>a line of the body, long enough to count</p>\r\n";
  }
  page = "<html><head><title>Walk</title></head><body>\r\n" + body + "</body></html>";
  MemoryFileSystem clean;
  clean.files[kPage] = page;
  ASSERT_EQ(Protect(clean, cipher), "");
  if (!Protecting()) std::swap(page, clean.files.at(kPage));
  clean = Fresh();
  const Outcome cleanOutcome = Run(clean);
  ASSERT_FALSE(cleanOutcome.Refused());
  done = clean.files.at(kPage);

  for (std::size_t failing = 0; failing < clean.log.size(); ++failing) {
    SCOPED_TRACE(::testing::Message() << "failing operation " << failing);
    MemoryFileSystem files = Fresh();
    std::size_t count = 0;
    std::optional<FileOp> failed;
    // Questions (does it exist, is it read-only) cannot fail half-way; every
    // operation that reads, writes or renames can.
    files.failWhen = [&](FileOp op, const std::string&) {
      if (count++ != failing || op == FileOp::kStamp || op == FileOp::kKind ||
          op == FileOp::kIsReadOnly || op == FileOp::kResolveLink) {
        return false;
      }
      failed = op;
      return true;
    };
    ExpectWholeAndTidy(files, Run(files), failed);
  }
  for (const auto& [op, path] : clean.log) {
    SCOPED_TRACE(::testing::Message() << "out of memory at " << static_cast<int>(op));
    MemoryFileSystem files = Fresh();
    files.outOfMemoryAt = op;
    const Outcome outcome = Run(files);
    EXPECT_EQ(outcome, OutcomeCode::NoMemory);
    ExpectWholeAndTidy(files, outcome, op);
  }
}

INSTANTIATE_TEST_SUITE_P(ProtectAndRestore, FaultWalk,
                         ::testing::Combine(::testing::Bool(), ::testing::Bool()),
                         [](const auto& test) {
                           return std::string(std::get<0>(test.param) ? "Protect" : "Restore") +
                                  (std::get<1>(test.param) ? "Linking" : "Copying");
                         });

}  // namespace
}  // namespace kelvara
