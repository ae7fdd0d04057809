#pragma once

#include <map>
#include <set>
#include <string>

#include "cli/file_tree.h"
#include "testing/memory_file_system.h"

namespace kelvara::cli {

// A file tree over a MemoryFileSystem's files and folders, for tests. Paths
// use "/"; "." segments and doubled slashes are spellings of the same path,
// and the file system's links are followed, so one file can be named many ways.
class MemoryFileTree final : public FileTree {
 public:
  explicit MemoryFileTree(MemoryFileSystem& files) : files_(files) {}

  std::set<std::string> unreadable;  // folders whose listing fails
  std::set<std::string> others;      // paths that are neither file nor folder
  std::set<std::string> unknown;     // paths whose status cannot be read
  std::size_t maxPath = 0;           // paths longer than this are too long; 0: no limit

  PathInfo Look(const std::string& path) override;
  PathInfo LookInside(const std::string& path) override;
  bool List(const std::string& folder, std::vector<std::string>& names) override;
  std::string Join(const std::string& folder, const std::string& name) override;
  std::string Canonical(const std::string& path) override;
  bool MakeFolders(const std::string& path) override;

  // The path's one spelling: no "." segments, no doubled or trailing slash, links followed.
  std::string CanonicalPath(const std::string& path) const;

 private:
  MemoryFileSystem& files_;
  std::map<std::string, std::uint64_t> numbers_;
};

}  // namespace kelvara::cli
