#include "protect/protect_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>

#include "format/decoder_script.h"
#include "page/run_page.h"
#include "restore/restore_page.h"
#include "testing/fixed_random.h"
#include "testing/memory_file_system.h"
#include "testing/reference.h"
#include "testing/source_file.h"
#include "text/text.h"

namespace kelvara {
namespace {

const std::string kPage = "site/page.htm";

// What protecting or restoring `page` gives when its file is as `state`
// says: the page written, or the reason it was refused, when nothing may
// have been written.
std::string Rewrite(Mode mode, const std::string& page, const std::string& password,
                    const std::string& state) {
  MemoryFileSystem files;
  files.files[kPage] = page;
  if (state == "missing") files.files.clear();
  if (state == "unreadable") files.failWhen = [](FileOp op, auto&) { return op == FileOp::kRead; };
  if (state == "read-only") files.readOnly.insert(kPage);
  if (state == "busy") files.busy.insert(kPage);
  const auto before = files.files;
  const Outcome outcome = RunPage({kPage, mode}, PageCipher(password), files, TestRandom());
  EXPECT_TRUE(!outcome.Refused() || files.files == before);
  return outcome.Refused() ? std::string(outcome.Text()) : files.files.at(kPage);
}

// Compares with a golden file; a missing one is written, to be read and kept.
void ExpectGolden(const std::string& got, const std::string& path) {
  if (!std::filesystem::exists(KELVARA_SOURCE_DIR "/" + path)) {
    std::ofstream(KELVARA_SOURCE_DIR "/" + path, std::ios::binary) << got;
    ADD_FAILURE() << path << " was missing: written, to be read before it is kept";
  }
  EXPECT_TRUE(got == SourceFile(path)) << path << " differs; got:\n" << got;
}

// Every NAME.htm in protect/testdata/cases is protected with the fixed salt
// and the password "club-2026", or the whole of NAME.password when there is
// one, its file as NAME.state says when there is one (missing, unreadable,
// read-only or busy). NAME.protected.htm holds the protected page less the
// decoder script's fixed opening, or the reason for a refusal. Restoring it gives NAME.htm back
// byte for byte; NAME.restored.htm holds what a reader of the page's older form, which knows
// nothing of the check value or the whole page, reads from it. A case of restoration alone has a
// hand-made NAME.protected.htm (a whole page when it starts with "<html>") and no NAME.htm;
// NAME.restored.htm then holds what restoring gives. To add a case, write its page and run this
// test: it writes the forms that are missing, to be read.
TEST(PageCases, ProtectAndRestoreAsTheGoldenFilesSay) {
  // The decoder script's fixed opening, as every protected page starts.
  std::string head;
  for (const char c : DecoderScript()) head += c == '\n' ? std::string(kCrLf) : std::string(1, c);
  head += kCrLf;
  int cases = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(KELVARA_SOURCE_DIR "/protect/testdata/cases")) {
    const std::string file = entry.path().filename().string();
    const std::string name = "protect/testdata/cases/" + file.substr(0, file.find('.'));
    const auto has = [&](const char* form) {
      return std::filesystem::exists(KELVARA_SOURCE_DIR "/" + name + form);
    };
    // Each case once: by its page, or by its protected form when it has none.
    const bool plain = file.find('.') == file.rfind('.') && file.ends_with(".htm");
    if (!plain && (!file.ends_with(".protected.htm") || has(".htm"))) continue;
    SCOPED_TRACE(name);
    ++cases;
    const std::string password = has(".password") ? SourceFile(name + ".password") : "club-2026";
    const std::string state = SourceFile(name + ".state");
    if (!plain) {
      std::string page = SourceFile(name + ".protected.htm");
      if (!page.starts_with("<html>")) page = head + page;
      ExpectGolden(Rewrite(Mode::Restore, page, password, state), name + ".restored.htm");
      EXPECT_EQ(reference::RestoreFault(password, page), "");
      continue;
    }
    const std::string original = SourceFile(name + ".htm");
    const std::string page = Rewrite(Mode::Protect, original, password, state);
    ExpectGolden(page.starts_with(head) ? page.substr(head.size()) : page, name + ".protected.htm");
    if (!page.starts_with(head)) continue;
    EXPECT_TRUE(Rewrite(Mode::Restore, page, password, "") == original);
    // Changed after protection, it is damaged whatever the password.
    std::string changed = page;
    changed[changed.find("VetrakSetTitle(\"") + 16] ^= 1;
    ProtectedReading reading;
    EXPECT_EQ(ReadProtectedPage(changed, PageCipher("not it"), reading), OutcomeCode::PageDamaged);
    PageParts parts;
    EXPECT_EQ(reference::Read(page, password, parts), "");
    ExpectGolden(reference::PlainPage(parts), name + ".restored.htm");
    EXPECT_EQ(reference::RoundTripFault(password, original), "");
  }
  EXPECT_GE(cases, 71);
}

// However its tags are written, and wherever the title that a browser shows
// stands among others, the title is cut out of the head and enciphered: its
// text is nowhere in the protected page, and the page restores to what the
// author wrote.
TEST(PageCases, TheTitleNeverStaysReadable) {
  for (const std::string title :
       {"<title>Members only</title>", "<TITLE>Members only</TITLE>",
        "<title lang=\"en\">Members only</title>", "<title >Members only</title >",
        "<TITLE\n>Members only</TITLE\n>", "<title\r\n>Members only</title\r\n>",
        "<Title\tid=t>Members only</tItle\t>", "<title>Members only</titled></title>",
        "<title>Members only</title lang=en>", "<title>Members only</title/>",
        "<!-- <title>old</title> --><title>Members only</title>",
        "<title>old</title><title>Members only</title>", "<title>Members only </head></title>"}) {
    const std::string page =
        "<html><head><meta charset=utf-8>" + title + "</head><body>x</body></html>";
    const std::string made = Rewrite(Mode::Protect, page, "club-2026", "");
    EXPECT_TRUE(made.find("<meta charset=utf-8>") != std::string::npos &&
                made.find("Members") == std::string::npos)
        << title;
    EXPECT_EQ(reference::RoundTripFault("club-2026", page), "") << title;
  }
}

// Every file written is flushed before any file takes a name, and the
// folder last of all.
bool FlushedInOrder(const std::vector<std::pair<FileOp, std::string>>& log) {
  std::string ops;  // c: a file made, s: flushed, n: a name taken, f: the folder flushed
  for (const auto& [op, path] : log) {
    const bool naming = op == FileOp::kRename || op == FileOp::kExchange || op == FileOp::kReplace;
    ops += op == FileOp::kCreateTemporary ? 'c'
           : op == FileOp::kSync          ? 's'
           : op == FileOp::kSyncFolder    ? 'f'
           : naming                       ? 'n'
                                          : '.';
  }
  return std::ranges::count(ops, 'c') == std::ranges::count(ops, 's') &&
         ops.rfind('s') < ops.find('n') && ops.ends_with('f');
}

// Each file operation of protecting or restoring a page fails in turn, or
// runs out of memory, with older backups in place, on a file system that can
// swap two names and on one that cannot. Whatever happens the page is the
// old one or the new one, the backup the older one unless the page was
// replaced or its replacing alone failed, no temporary file is left, and a
// failure that stopped the work is told as a refusal.
TEST(PageCases, EveryFailureLeavesWholeFiles) {
  // Big enough to go out in more than one write, with many scripts and a
  // long run of blanks by an "=", which protection must cut in one pass each.
  std::string page = "<head><title>Walk</title></head><body a" + std::string(1 << 16, ' ') + "=b>";
  while (page.size() < (std::size_t{600} << 10)) page += "<p>a<script>x</script> line</p>\r\n";
  page += "</body>";
  const PageCipher cipher("walk");
  for (const Mode mode : {Mode::Protect, Mode::Restore}) {
    std::string done;
    for (const bool exchanges : {true, false}) {
      const auto run = [&](MemoryFileSystem& files) {
        files.exchanges = exchanges;
        files.files = {
            {kPage, page}, {kPage + ".original", "older"}, {kPage + ".protected", "older"}};
        return RunPage({kPage, mode}, cipher, files, TestRandom());
      };
      MemoryFileSystem clean;
      ASSERT_FALSE(run(clean).Refused());
      EXPECT_TRUE(FlushedInOrder(clean.log));
      done = clean.files.at(kPage);
      const std::string backup = kPage + (mode == Mode::Protect ? ".original" : ".protected");
      // Each operation fails in turn, then each runs out of memory. Questions
      // (is it read-only, where does a link lead) cannot fail half-way.
      for (std::size_t failing = 0; failing < 2 * clean.log.size(); ++failing) {
        MemoryFileSystem files;
        std::size_t count = 0;
        std::optional<FileOp> failed;
        files.failWhen = [&](FileOp op, const std::string&) {
          if (count++ != failing || op == FileOp::kFacts || op == FileOp::kResolveLink) {
            return false;
          }
          failed = op;
          return true;
        };
        if (failing >= clean.log.size())
          failed = files.outOfMemoryAt = clean.log[failing - clean.log.size()].first;
        const Outcome outcome = run(files);
        // Only when the page itself cannot be put in place has the backup
        // moved on. Compared whole but not shown: the pages are long.
        const std::string& kept = files.files.at(backup);
        const bool lastStep = failed == FileOp::kReplace;
        EXPECT_TRUE(
            files.files.at(kPage) == (outcome.Refused() ? page : done) &&
            (outcome.Refused() ? kept == "older" || (lastStep && kept == page) : kept == page) &&
            !files.HoldsTemporary() &&
            (failing < clean.log.size() || outcome == OutcomeCode::NoMemory || !outcome.Refused()))
            << failing << ": " << outcome.Text();
      }
    }
    page = done;  // restoring starts from the protected page
  }
}

}  // namespace
}  // namespace kelvara
