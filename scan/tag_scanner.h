#pragma once

#include <string>
#include <string_view>

#include "text/line_reader.h"
#include "text/text.h"

namespace kelvara {

// The lines of a page that its scan text keeps, trimmed: those neither empty
// nor holding ".document.write".
class ScanLines {
 public:
  explicit ScanLines(std::string_view page = {}) : page_(page), lines_(page) {}

  bool Next(std::string_view& line);

 private:
  bool HoldsScriptWrite(std::string_view line);

  std::string_view page_;
  LineReader lines_;
  // ".document.write" is looked for ahead through the page, not line by
  // line: found_ is its first place at or after the line last asked about,
  // or, when none, the page holds none up to searchedTo_.
  CaselessPattern scriptWrite_{".document.write"};
  std::size_t found_ = kNone;
  std::size_t searchedTo_ = 0;
};

// Finds elements of one page, given as its bytes, by their tag names: a text
// heuristic, not an HTML parser. It knows only the tag name and the markers
// "<", ">", "/>" and "</"; comments, scripts and quoted values are not
// skipped.
//
// The page's scan text (its trimmed, non-empty lines less those that hold
// ".document.write", each ended by CR LF) is built only as far as the
// searches need, and once for all of them: the title of a large page is
// found without scanning the rest.
class TagScanner {
 public:
  // The page's bytes must outlive the scanner.
  explicit TagScanner(std::string_view page);

  // Looks for the given occurrence (1 for the first) of the element named
  // `tagName` ("title", "<TITLE>", " title> " all name the same element). On
  // success TagAttributes() and TagContent() describe it; otherwise both are empty.
  bool FindTag(std::string_view tagName, int occurrence);

  const std::string& TagAttributes() const { return tagAttributes_; }
  // Part of the scan text: valid until the scanner is next used.
  std::string_view TagContent() const {
    return std::string_view(scanText_).substr(contentAt_, contentSize_);
  }
  // Hands TagContent() over, leaving the scanner empty. A body is most of its
  // page, so it is cut out of the scan text rather than copied.
  std::string TakeTagContent();

 private:
  // Scans more of the page; false once all of it is in the scan text.
  bool ScanMore();
  // The first match of `pattern` at or after `from`, scanning on as needed.
  std::size_t Search(const CaselessPattern& pattern, std::size_t from);

  ScanLines unscanned_;
  bool scanned_ = false;
  std::string scanText_;
  std::string tagAttributes_;
  std::size_t contentAt_ = 0;
  std::size_t contentSize_ = 0;
};

// True when the page's title element holds exactly the product name: the
// page is a protected one.
bool IsProtected(std::string_view page);

}  // namespace kelvara
