#include "app/command_tail.h"

#include <gtest/gtest.h>

namespace kelvara {
namespace {

TEST(CommandLineTail, DropsTheProgramNameAndTheBlanksAfterIt) {
  struct Case {
    const char* commandLine;
    const char* tail;
  };
  const Case cases[] = {
      {"", ""},
      {"Kelvara.exe", ""},
      {"Kelvara.exe   ", ""},
      {"Kelvara.exe page.htm", "page.htm"},
      {"Kelvara.exe    page.htm  ", "page.htm  "},
      {"\"C:\\Program Files\\Kelvara.exe\" page.htm", "page.htm"},
      {"\"C:\\Program Files\\Kelvara.exe\"page.htm", "page.htm"},
      {"\"C:\\Program Files\\Kelvara.exe\" \"C:\\my page.htm\"", "\"C:\\my page.htm\""},
      // A quoted name that is never closed takes the whole line.
      {"\"C:\\Program Files\\Kelvara.exe page.htm", ""},
      // An unquoted name ends at any control character; only blanks go with it.
      {"Kelvara.exe\tpage.htm", "\tpage.htm"},
      {"C:\\Program Files\\Kelvara.exe", "Files\\Kelvara.exe"},
  };
  for (const Case& c : cases) EXPECT_EQ(CommandLineTail(c.commandLine), c.tail) << c.commandLine;
}

TEST(CandidateFile, StripsQuotesOnlyAtTheEnds) {
  EXPECT_EQ(CandidateFile("\"C:\\my page.HTML\""), "C:\\my page.HTML");
  EXPECT_EQ(CandidateFile("\"\"\"a.htm\"\""), "a.htm");
  EXPECT_EQ(CandidateFile("a \"b\" c.htm"), "a \"b\" c.htm");
  EXPECT_EQ(CandidateFile(" \"a.htm\" "), " \"a.htm\" ");
  EXPECT_EQ(CandidateFile("\"\"\""), "");
}

TEST(NamesPage, LooksForHtmInAnyLetterCase) {
  EXPECT_TRUE(NamesPage("page.htm"));
  EXPECT_TRUE(NamesPage("PAGE.HTML"));
  EXPECT_TRUE(NamesPage("old.hTm.bak"));
  EXPECT_TRUE(NamesPage("C:\\site.htm\\index"));
  EXPECT_FALSE(NamesPage("notes.txt"));
  EXPECT_FALSE(NamesPage("page.ht"));
  EXPECT_FALSE(NamesPage("page htm"));
  EXPECT_FALSE(NamesPage(""));
}

}  // namespace
}  // namespace kelvara
