#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace kelvara {

// A file's bytes, read whole, in place for as long as this object lives.
// On Linux a large file is mapped instead of copied: copying costs more than
// anything done with the bytes. Reading a mapped file's end after another
// program has cut it short ends this process, so its bytes are read soon
// after Read(). Nothing this program writes ever shortens a file that is read.
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

// The file access the core needs. One real implementation per platform
// (RealFileSystem) and an in-memory fake for tests (MemoryFileSystem).
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // True when the path's attributes can be read: a file or a folder of that name.
  virtual bool Exists(const std::string& path) = 0;
  // All or nothing: null on any failure.
  virtual std::unique_ptr<FileBytes> Read(const std::string& path) = 0;
  // Read-only by its attribute or its permission bits.
  virtual bool IsReadOnly(const std::string& path) = 0;
  // Copies byte for byte; an existing `to` is overwritten.
  virtual bool Copy(const std::string& from, const std::string& to) = 0;
  // The file that writing to `path` has to replace: a symbolic link's target.
  virtual std::string ResolveLink(const std::string& path) = 0;
  // Creates `path` anew for writing, unshared; an old file of that name goes.
  virtual std::unique_ptr<OutputFile> Create(const std::string& path) = 0;
  // Puts `replacement` in the place of `target` in one step, keeping the
  // target's attributes and permissions.
  virtual bool Replace(const std::string& replacement, const std::string& target) = 0;
  virtual void Remove(const std::string& path) = 0;
};

}  // namespace kelvara
