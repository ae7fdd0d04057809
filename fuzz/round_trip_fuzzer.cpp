// Protection of arbitrary page bytes followed by restoration with the same
// password. Whenever protection succeeds, restoration must succeed and give
// back what extraction took: the title text, the non-blank body pieces in
// order and the body attribute text. The head extra comes back with its
// lines trimmed and an empty line added; that is how the page format works.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "protect/protect_page.h"
#include "restore/restore_page.h"
#include "scan/tag_scanner.h"
#include "testing/memory_file_system.h"
#include "testing/outcome_text.h"
#include "testing/fixed_random.h"

namespace kelvara::fuzz {
namespace {

constexpr std::string_view kCrLfText = "\r\n";

// Every piece of the body between CR LF pairs that holds more than blanks,
// each followed by CR LF: the body lines that restoration writes.
std::string NonBlankPieces(std::string_view body) {
  std::string lines;
  for (std::size_t from = 0;;) {
    const std::size_t end = body.find(kCrLfText, from);
    const std::string_view piece =
        body.substr(from, end == std::string_view::npos ? end : end - from);
    if (!Trim(piece).empty()) lines.append(piece).append(kCrLfText);
    if (end == std::string_view::npos) return lines;
    from = end + kCrLfText.size();
  }
}

// The protected page holds the head extra followed by CR LF; reading it back
// trims each of those lines and ends each with CR LF.
std::string RestoredHeadExtra(std::string_view headExtra) {
  if (headExtra.empty()) return {};
  std::string written(headExtra);
  written.append(kCrLfText);
  std::string lines;
  for (const std::string_view line : SplitLines(written))
    lines.append(Trim(line)).append(kCrLfText);
  return lines;
}

// The plain page of fixed shape, line by line.
std::string PlainPage(std::string_view title, std::string_view headExtra,
                      std::string_view attributes, std::string_view bodyLines) {
  std::string page = "<html>\r\n<head>\r\n<title>";
  page.append(title).append("</title>\r\n");
  if (!headExtra.empty()) page.append(headExtra).append(kCrLfText);
  page.append("</head>\r\n<body");
  if (!attributes.empty()) page.append(" ").append(attributes);
  page.append(">\r\n");
  if (!bodyLines.empty()) page.append(bodyLines).append(kCrLfText);
  page.append("</body>\r\n</html>\r\n");
  return page;
}

}  // namespace
}  // namespace kelvara::fuzz

// Input: the first line is the password, the rest the plain page.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvara;
  using namespace kelvara::fuzz;
  const FuzzInput input = SplitInput(data, size);
  const PageCipher cipher{std::string(input.firstLine)};
  const std::string path = "site/page.htm";
  const std::string original = path + std::string(kOriginalSuffix);
  const std::string kept = path + std::string(kProtectedSuffix);
  MemoryFileSystem files;
  files.files[path] = std::string(input.page);

  PageParts taken;
  std::string extractReason;
  {
    TagScanner scanner(files);
    extractReason = Said(ExtractPage(scanner, path, taken));
  }

  // The run flow's scanner has already read the page to decide the mode.
  TagScanner scanner(files);
  IsProtectedPage(scanner, path);
  const auto before = files.files;
  const std::string reason = Said(ProtectPage(path, cipher, scanner, files, TestRandom()));
  RequireEqual(reason, extractReason, "protection's verdict against extraction's");
  if (!reason.empty()) {
    Require(reason == kHeadMissing || reason == kHeadMalformed || reason == kBodyMissing,
            "protection refused for an unknown reason");
    Require(files.files == before, "a refused page or its folder changed");
    return 0;
  }

  Require(files.files.size() == 2, "protection left files other than the page and its backup");
  RequireEqual(files.files[original], input.page, "the backup copy");
  const std::string protectedPage = files.files[path];
  Require(protectedPage.starts_with("<html>\r\n<head>\r\n<title>Kelvara</title>\r\n"),
          "protected page head");
  Require(protectedPage.ends_with("></body>\r\n</html>\r\n"), "protected page end");
  Require(CrOnlyInCrLf(protectedPage), "a protected page line ends otherwise than in CR LF");
  // The same scanner decides the mode of the next run: it must see the new page.
  Require(IsProtectedPage(scanner, path), "the protected page is not recognised as protected");

  const std::string restoreReason = Said(RestorePage(path, cipher, files));
  RequireEqual(restoreReason, "", "restoring what protection wrote, with its password");
  RequireEqual(files.files[kept], protectedPage, "the copy of the protected page");
  Require(files.files.size() == 3, "restoration left files other than the page and its two copies");

  PageParts back;
  RequireEqual(Said(ReadProtectedPage(protectedPage, cipher, back)), "", "reading the protected page");
  RequireEqual(back.titleText, taken.titleText, "title text");
  RequireEqual(back.bodyText, NonBlankPieces(taken.bodyText), "body pieces");
  RequireEqual(back.bodyAttributes, taken.bodyAttributes, "body attribute text");
  const std::string headExtra = RestoredHeadExtra(taken.headExtra);
  RequireEqual(back.headExtra, headExtra, "head extra");
  RequireEqual(
      files.files[path],
      PlainPage(taken.titleText, headExtra, taken.bodyAttributes, NonBlankPieces(taken.bodyText)),
      "the restored page");
  return 0;
}
