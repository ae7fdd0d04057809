#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvara::cli {

// Which file a path names, whatever its spelling: device and inode on POSIX,
// volume serial number and file index on Windows.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t file = 0;
  auto operator<=>(const FileIdentity&) const = default;
};

enum class PathKind { kMissing, kFile, kFolder, kOther };

struct PathInfo {
  PathKind kind = PathKind::kMissing;
  FileIdentity identity;
};

// The file-tree questions that finding the pages asks. Symbolic links are
// followed, so a link names what it points to.
class FileTree {
 public:
  virtual ~FileTree() = default;
  // kOther is anything that is neither a regular file nor a folder (a device,
  // a pipe): reading one could block or never end.
  virtual PathInfo Look(const std::string& path) = 0;
  // The names in a folder, without "." and "..", in no particular order.
  // False when the folder cannot be read.
  virtual bool List(const std::string& folder, std::vector<std::string>& names) = 0;
  // The path of `name` inside `folder`, with the platform's separator.
  virtual std::string Join(const std::string& folder, const std::string& name) = 0;
};

class RealFileTree final : public FileTree {
 public:
  PathInfo Look(const std::string& path) override;
  bool List(const std::string& folder, std::vector<std::string>& names) override;
  std::string Join(const std::string& folder, const std::string& name) override;
};

}  // namespace kelvara::cli
