#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/file_tree.h"
#include "format/outcome.h"

namespace kelvara::cli {

// A path and what is said about it: done for a page still to be run.
struct PathNote {
  std::string path;
  Outcome outcome = {};
  // Where a page lies under the folder named, its folders apart by "/" (its
  // name alone when it was named itself): where it goes under an output folder.
  std::string relative = {};
};

struct PageList {
  // The run's lines in the order found: each page once (done), spelt
  // as named or as the walk built it, and each path inside a folder that the
  // walk could not reach, with the reason; those count as refused.
  std::vector<PathNote> entries;
  // One for each path named that cannot be used; any error means no run.
  std::vector<PathNote> errors;
};

// Turns the command line's paths into pages: a file is a page whatever its
// name, a folder is searched recursively for page names, in byte order of
// the names within each folder, without following the links to folders
// inside it. A file named twice, by any spelling or through a link, is kept
// once; the identities are all taken here, before any page is rewritten,
// since a rewrite gives a page a new identity.
PageList CollectPages(const std::vector<std::string>& paths, FileTree& tree);

// Where a page goes under `output`, as a path to show (`shown`), or the
// reason it cannot go there: the output folder inside a folder being read
// (its pages would be read as new ones the next time), or an output that is
// the page itself.
Outcome OutputFor(const PathNote& page, const std::vector<std::string>& named,
                  const std::string& output, FileTree& tree, std::string& shown);

}  // namespace kelvara::cli
