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

// A file being written. Every call reports whether it worked; nothing throws.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool Write(std::string_view bytes) = 0;
  // Pushes what was written to the disk itself, not only to the system's cache.
  virtual bool Sync() = 0;
  virtual bool Close() = 0;
};

// How an operation that can fail in more than one way ended.
enum class FileStatus { Ok, Missing, Busy, NameTooLong, NotAFile, Failed };

// Held by one run from reading a page to replacing it; let go when destroyed.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

// The file access the core needs. One real implementation per platform
// (RealFileSystem) and an in-memory fake for tests (MemoryFileSystem).
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // True when the name is free or holds a regular file or a link, which a
  // rename may replace; false for anything else (a folder, a pipe, a device)
  // and for a name that cannot be looked at.
  virtual bool Replaceable(const std::string& path) = 0;
  // All or nothing: null on any failure. Never maps the file, which another
  // program could cut short under the reader.
  virtual std::unique_ptr<FileBytes> Read(const std::string& path) = 0;
  // Read-only by its attribute or its permission bits.
  virtual bool IsReadOnly(const std::string& path) = 0;
  // The file that writing to `path` has to replace: a symbolic link's target.
  virtual std::string ResolveLink(const std::string& path) = 0;

  // Locks the file that `path` names against other runs, without waiting:
  // Busy when another run holds it, Missing or NotAFile when there is no
  // page to lock.
  virtual FileStatus Lock(const std::string& path, std::unique_ptr<FileLock>& lock) = 0;
  // Creates a new file of a name no one else holds, in the folder of `beside`;
  // never opens what is already there. Null, with `status` set, on failure.
  virtual std::unique_ptr<OutputFile> CreateTemporary(const std::string& beside, std::string& name,
                                                      FileStatus& status) = 0;
  // Gives the file `path` a second, new name in the folder of `beside` (a hard
  // link), after making sure its bytes are on the disk. Failed where the
  // file system has no such links; the caller then copies.
  virtual FileStatus LinkTemporary(const std::string& path, const std::string& beside,
                                   std::string& name) = 0;
  // Gives `copy` the owner (where this process may) and permissions of `original`.
  virtual bool CopyAttributes(const std::string& original, const std::string& copy) = 0;
  // Moves `from` to the name `to` in one step, replacing whatever name `to`
  // was, never following a link there.
  virtual FileStatus Rename(const std::string& from, const std::string& to) = 0;
  // Puts `replacement` in the place of `target` in one step, keeping the
  // target's attributes and permissions.
  virtual FileStatus Replace(const std::string& replacement, const std::string& target) = 0;
  virtual void Remove(const std::string& path) = 0;
};

}  // namespace kelvara
