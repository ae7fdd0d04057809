#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace kelvara {

// A file's bytes, read whole, held for as long as this object lives.
class FileBytes {
 public:
  virtual ~FileBytes() = default;
  virtual std::string_view View() const = 0;
};

// Bytes already in memory, held as FileBytes.
std::unique_ptr<FileBytes> HoldBytes(std::string bytes);

// How an operation on files ended.
enum class FileStatus {
  Ok,
  Missing,
  Busy,
  NameTooLong,
  NotAFile,      // a folder, a pipe, a device, or a link where none may be
  DiskFull,      // no room left, or the user's quota spent
  NotWritable,   // the folder cannot take new names or give up old ones
  NotPermitted,  // what the page has (its owner, its access rules) cannot be given to a new file
  Unsupported,   // the file system cannot do it; the caller takes another way
  Failed,
};

// A file being written. Every call reports how it went; nothing throws.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual FileStatus Write(std::string_view bytes) = 0;
  // Pushes what was written to the disk itself, not only to the system's cache.
  virtual FileStatus Sync() = 0;
  virtual FileStatus Close() = 0;
};

// Held by one run from reading a page to replacing it; let go when destroyed.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

// An open folder. New files are made in it and renamed by their names in it,
// so that once it is open no link on the way to it can send a write elsewhere.
class Folder {
 public:
  virtual ~Folder() = default;
};

// What rewriting a page in place must respect, as the page is now.
struct PageFacts {
  bool readOnly = false;    // by its attribute or its permission bits
  bool otherNames = false;  // hard links: names that a rewrite would leave behind
  bool otherOwner = false;  // a new file of this run's could not be given its owner
};

// The file access the core needs. One real implementation per platform
// (RealFileSystem) and an in-memory fake for tests (MemoryFileSystem).
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Locks the file that `path` names against other runs, without waiting:
  // Busy when another run (or, on Windows, a program that holds the file
  // open and would keep it from being replaced) has it, Missing or NotAFile
  // when there is no page to lock.
  virtual FileStatus Lock(const std::string& path, std::unique_ptr<FileLock>& lock) = 0;
  // All or nothing: null on any failure. Never maps the file, which another
  // program could cut short under the reader.
  virtual std::unique_ptr<FileBytes> Read(const std::string& path) = 0;
  virtual PageFacts Facts(const std::string& path) = 0;
  // The file that writing to `path` has to replace: a symbolic link's target.
  virtual std::string ResolveLink(const std::string& path) = 0;

  // The folder that holds `path`, links to it followed, and the name of
  // `path` in it.
  virtual FileStatus OpenFolderOf(const std::string& path, std::unique_ptr<Folder>& folder,
                                  std::string& name) = 0;
  // A folder by its path, as the user named it; made when missing.
  virtual FileStatus OpenFolder(const std::string& path, std::unique_ptr<Folder>& folder) = 0;
  // The folder `name` inside `parent`, made when missing. A link there is
  // refused (NotAFile), never followed.
  virtual FileStatus OpenSubfolder(Folder& parent, const std::string& name,
                                   std::unique_ptr<Folder>& folder) = 0;
  // Ok when the folder can take new names and give up old ones; NotWritable
  // when it cannot (no permission, a read-only or append-only folder).
  virtual FileStatus CheckWritable(Folder& folder) = 0;
  // The longest name the folder takes.
  virtual std::size_t NameLimit(Folder& folder) = 0;

  // Creates a new file of a name no one else holds in the folder; never
  // opens what is already there. Null, with `status` set, on failure.
  virtual std::unique_ptr<OutputFile> CreateTemporary(Folder& folder, std::string& name,
                                                      FileStatus& status) = 0;
  // Gives the file `to` the owner, permissions and extended attributes
  // (access control lists among them) of the file `from`, or, when `from`
  // is no regular file (a free name, a link), what any new file gets.
  // NotPermitted when they cannot all be given: a file must never be readable
  // by more people than the one it takes the place of.
  virtual FileStatus CopyAccess(Folder& fromFolder, const std::string& from, Folder& toFolder,
                                const std::string& to) = 0;
  // Ok when the name is free or holds a regular file or a link, which a
  // rename may replace; NotAFile for anything else (a folder, a pipe, a
  // device); how looking at the name failed when it cannot be looked at.
  virtual FileStatus Replaceable(Folder& folder, const std::string& name) = 0;
  // Moves `from` to the name `to` in one step, replacing whatever name `to`
  // was, never following a link there.
  virtual FileStatus Rename(Folder& folder, const std::string& from, Folder& toFolder,
                            const std::string& to) = 0;
  // Swaps two names of one folder in one step; Unsupported where the file
  // system cannot.
  virtual FileStatus Exchange(Folder& folder, const std::string& a, const std::string& b) = 0;
  // Puts `replacement` in the place of `target` in one step. Where the system
  // carries the target's access rules over by itself (Windows), it does;
  // elsewhere CopyAccess has done so before.
  virtual FileStatus Replace(Folder& folder, const std::string& replacement,
                             const std::string& target) = 0;
  virtual void Remove(Folder& folder, const std::string& name) = 0;
  // Makes the folder's names as they are now outlast a power cut.
  virtual FileStatus SyncFolder(Folder& folder) = 0;
};

}  // namespace kelvara
