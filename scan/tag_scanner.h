#pragma once

#include <string>
#include <string_view>

#include "text/file_system.h"

namespace kelvara {

// True when the path's attributes can be read (a file or a folder of that
// name); any error of the query counts as false.
bool FileExists(FileSystem& files, const std::string& path);

// The page reduced for scanning: every line trimmed of blanks, empty lines
// and lines holding ".document.write" (in any letter case) left out, each
// kept line followed by CR LF.
std::string BuildScanText(std::string_view fileBytes);

// Removes every run of blanks directly before or after an "=".
std::string NormaliseAttributes(std::string_view text);

// Finds one element of a page by its tag name: a text heuristic, not an
// HTML parser. It knows only the tag name and the markers "<", ">", "/>" and
// "</"; comments, scripts and quoted values are not skipped.
//
// The scan text of the last page asked for is cached under its file name,
// so that the mode decision and the three scans of protection read the page
// once. A page rewritten since must be forgotten with ForgetCache().
class TagScanner {
 public:
  explicit TagScanner(FileSystem& files) : files_(files) {}

  // Looks for the given occurrence (1 for the first) of the element named
  // `tagName` ("title", "<TITLE>", " title> " all name the same element). On
  // success TagAttributes() and TagContent() describe it; otherwise both are empty.
  bool FindTag(const std::string& fileName, std::string_view tagName, int occurrence);

  const std::string& TagAttributes() const { return tagAttributes_; }
  const std::string& TagContent() const { return tagContent_; }

  void ForgetCache();

 private:
  void Load(const std::string& fileName);

  FileSystem& files_;
  bool cached_ = false;
  std::string cachedName_;
  std::string scanText_;
  std::string lowerScanText_;  // kept beside the scan text so searches never lower-case again
  std::string tagAttributes_;
  std::string tagContent_;
};

}  // namespace kelvara
