#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "files/file_system.h"
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

// Finds one element of a page by its tag name: a text heuristic, not an
// HTML parser. It knows only the tag name and the markers "<", ">", "/>" and
// "</"; comments, scripts and quoted values are not skipped.
//
// The page last asked for is cached under its file name, so that the mode
// decision and the three scans of protection read it once. Its scan text is
// built only as far as the searches need: the title of a large page is found
// without scanning the rest. The cache holds only while the file is the one
// it was read from, of the same size and time: a page rewritten since, by
// this program or another, is read afresh.
class TagScanner {
 public:
  explicit TagScanner(FileSystem& files) : files_(files) {}

  // Looks for the given occurrence (1 for the first) of the element named
  // `tagName` ("title", "<TITLE>", " title> " all name the same element). On
  // success TagAttributes() and TagContent() describe it; otherwise both are empty.
  bool FindTag(const std::string& fileName, std::string_view tagName, int occurrence);

  const std::string& TagAttributes() const { return tagAttributes_; }
  // Part of the cached page: valid until the scanner is next used.
  std::string_view TagContent() const {
    return std::string_view(scanText_).substr(contentAt_, contentSize_);
  }
  // Hands TagContent() over and forgets the page. A body is most of its
  // page, so it is cut out of the scan text rather than copied.
  std::string TakeTagContent();

  // False when the page cannot be read whole (it then scans as empty).
  bool Readable(const std::string& fileName);

 private:
  bool Find(const std::string& fileName, std::string_view tagName, int occurrence);
  // Runs a step that may read and scan a page; if it throws, the page is forgotten.
  template <typename Step>
  bool Forgetting(const Step& step);
  // Lets go of the cached page and the memory it takes.
  void ForgetCache();
  void Load(const std::string& fileName, const FileStamp& stamp);
  // Scans more of the page; false once all of it is in the scan text.
  bool ScanMore();
  // The first match of `pattern` at or after `from`, scanning on as needed.
  std::size_t Search(const CaselessPattern& pattern, std::size_t from);

  FileSystem& files_;
  bool cached_ = false;
  bool readFailed_ = false;
  std::string cachedName_;
  FileStamp cachedStamp_;
  std::unique_ptr<FileBytes> page_;  // the page as read, until all of it is scanned
  ScanLines unscanned_;
  bool scanned_ = true;
  std::string scanText_;
  std::string tagAttributes_;
  std::size_t contentAt_ = 0;
  std::size_t contentSize_ = 0;
};

}  // namespace kelvara
