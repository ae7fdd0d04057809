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

enum class PathKind {
  kMissing,
  kFile,
  kFolder,
  // Neither a regular file nor a folder (a device, a pipe): reading one could
  // block or never end.
  kOther,
  // A symbolic link or reparse point that leads to a folder; only LookInside
  // tells it apart from the folder itself.
  kFolderLink,
  // The path exists, or may, but its status cannot be read (no permission on
  // the way, a loop of links).
  kUnreadable,
  // Longer than the system takes.
  kTooLong,
};

struct PathInfo {
  PathKind kind = PathKind::kMissing;
  FileIdentity identity;
};

// The file-tree questions that finding the pages asks.
class FileTree {
 public:
  virtual ~FileTree() = default;
  // Symbolic links are followed, so a link names what it points to.
  virtual PathInfo Look(const std::string& path) = 0;
  // As Look, for an entry that the walk found inside a folder: a link to a
  // folder is kFolderLink and not followed, since it can lead out of the
  // tree that was named, or back into it.
  virtual PathInfo LookInside(const std::string& path) = 0;
  // The names in a folder, without "." and "..", in no particular order.
  // False when the folder cannot be read.
  virtual bool List(const std::string& folder, std::vector<std::string>& names) = 0;
  // The path of `name` inside `folder`, with the platform's separator.
  virtual std::string Join(const std::string& folder, const std::string& name) = 0;
  // The path in full, links followed, as far as it exists; the same for
  // every spelling of one place.
  virtual std::string Canonical(const std::string& path) = 0;
  // A name as the file system tells names apart: the same for two names of
  // one file, so in any letter case on Windows.
  virtual std::string NameKey(const std::string& name) = 0;
};

class RealFileTree final : public FileTree {
 public:
  PathInfo Look(const std::string& path) override;
  PathInfo LookInside(const std::string& path) override;
  bool List(const std::string& folder, std::vector<std::string>& names) override;
  std::string Join(const std::string& folder, const std::string& name) override;
  std::string Canonical(const std::string& path) override;
  std::string NameKey(const std::string& name) override;
};

}  // namespace kelvara::cli
