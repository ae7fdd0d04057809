#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <utility>

#include "text/large_text.h"
#include "files/real_file_system.h"

namespace kelvara {
namespace {

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Copies to the end of `in`. The kernel moves the bytes itself where it can,
// so a large page never passes through a buffer of ours.
bool CopyBytes(int in, int out) {
  for (;;) {
    const ssize_t moved = ::copy_file_range(in, nullptr, out, nullptr, std::size_t{1} << 30, 0);
    if (moved == 0) return true;
    if (moved > 0) continue;
    if (errno == EINTR) continue;
    if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) return false;
    break;  // not between these files: copy through a modest buffer instead
  }
  std::string buffer(std::size_t{1} << 20, '\0');
  for (;;) {
    const ssize_t got = ::read(in, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return got == 0;
    if (!WriteAll(out, std::string_view(buffer.data(), static_cast<std::size_t>(got))))
      return false;
  }
}

// Mapping a file spares copying it into fresh memory, which on a large page
// costs more than anything done with the bytes; a small file is simply read.
constexpr std::size_t kMapFrom = std::size_t{1} << 20;

class MappedBytes final : public FileBytes {
 public:
  MappedBytes(void* address, std::size_t size) : address_(address), size_(size) {}
  ~MappedBytes() override { ::munmap(address_, size_); }
  std::string_view View() const override {
    return std::string_view(static_cast<const char*>(address_), size_);
  }

 private:
  void* address_;
  std::size_t size_;
};

// The file's `size` bytes as they are now, or null where it cannot be mapped.
std::unique_ptr<FileBytes> MapFile(int fd, std::size_t size) {
  void* address = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (address == MAP_FAILED) return nullptr;
  return std::make_unique<MappedBytes>(address, size);
}

// Reads to the end, whatever the size is by then; `size` is only a hint.
std::unique_ptr<FileBytes> ReadFile(int fd, std::size_t size) {
  std::string bytes;
  ReserveLargeText(bytes, size + 1);
  bytes.resize(size + 1);
  std::size_t used = 0;
  for (;;) {
    if (used == bytes.size()) bytes.resize(bytes.size() * 2);
    const ssize_t got = ::read(fd, bytes.data() + used, bytes.size() - used);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return nullptr;
    if (got == 0) break;
    used += static_cast<std::size_t>(got);
  }
  bytes.resize(used);
  return HoldBytes(std::move(bytes));
}

class PosixOutputFile final : public OutputFile {
 public:
  explicit PosixOutputFile(int fd) : fd_(fd) {}
  ~PosixOutputFile() override {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Write(std::string_view bytes) override {
    if (fd_ < 0 || !WriteAll(fd_, bytes)) return false;
#if defined(SYNC_FILE_RANGE_WRITE)
    // A large page is written in slices. Sending each slice on its way to
    // the disk at once lets the disk work while the next one is made, so
    // that Sync() is left to wait for the last few only.
    if (bytes.size() >= kStartWritingFrom) {
      ::sync_file_range(fd_, static_cast<off_t>(written_), static_cast<off_t>(bytes.size()),
                        SYNC_FILE_RANGE_WRITE);
    }
#endif
    written_ += bytes.size();
    return true;
  }
  bool Sync() override {
    return fd_ >= 0 && ::fsync(fd_) == 0;
  }
  bool Close() override {
    const int fd = fd_;
    fd_ = -1;
    return fd >= 0 && ::close(fd) == 0;
  }

 private:
  static constexpr std::size_t kStartWritingFrom = std::size_t{256} << 10;

  int fd_;
  std::size_t written_ = 0;
};

}  // namespace

bool RealFileSystem::Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

std::unique_ptr<FileBytes> RealFileSystem::Read(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  std::unique_ptr<FileBytes> bytes;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    const auto size = static_cast<std::size_t>(info.st_size);
    bytes = size >= kMapFrom ? MapFile(fd, size) : nullptr;
    if (!bytes) bytes = ReadFile(fd, size);
  }
  ::close(fd);
  return bytes;
}

bool RealFileSystem::IsReadOnly(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  // rename() would replace even a file without write permission, so the
  // permission bits are checked here; they also count for root, whom access()
  // always lets through.
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return true;
  return ::access(path.c_str(), W_OK) != 0 && (errno == EACCES || errno == EROFS || errno == EPERM);
}

bool RealFileSystem::Copy(const std::string& from, const std::string& to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat info {};
  if (::fstat(in, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(in);
    return false;
  }
  // The copy is as private as the page it copies.
  const mode_t mode = info.st_mode & 0777;
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, mode);
  if (out < 0) {
    ::close(in);
    return false;
  }
  // A copy's name that leads back to the file itself (a hard link, or a
  // symbolic link to it) would have it emptied before it is read.
  struct stat outInfo {};
  if (::fstat(out, &outInfo) != 0 ||
      (outInfo.st_dev == info.st_dev && outInfo.st_ino == info.st_ino) ||
      ::ftruncate(out, 0) != 0) {
    ::close(in);
    ::close(out);
    return false;
  }
  const bool copied = CopyBytes(in, out);
  ::fchmod(out, mode);
  ::close(in);
  return (::close(out) == 0) && copied;
}

std::string RealFileSystem::ResolveLink(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;
  std::string resolved(real);
  std::free(real);
  return resolved;
}

std::unique_ptr<OutputFile> RealFileSystem::Create(const std::string& path) {
  // An old leftover goes first; O_EXCL then makes sure that what is opened is
  // a new file of our own and not, say, a link planted under that name.
  ::unlink(path.c_str());
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return nullptr;
  return std::make_unique<PosixOutputFile>(fd);
}

bool RealFileSystem::Replace(const std::string& replacement, const std::string& target) {
  struct stat info {};
  if (::stat(target.c_str(), &info) == 0) {
    if (::chmod(replacement.c_str(), info.st_mode & 07777) != 0) return false;
    // Keeps the page's owner where we may; only root can give files away.
    if (::chown(replacement.c_str(), info.st_uid, info.st_gid) != 0 && errno != EPERM) return false;
  }
  // The folder is not synced after the rename: the new page's bytes reached
  // the disk before it took the page's name, so a crash can at worst bring
  // back the old page whole, and a sync per page would double the cost of
  // protecting a folder of pages.
  return ::rename(replacement.c_str(), target.c_str()) == 0;
}

void RealFileSystem::Remove(const std::string& path) {
  ::unlink(path.c_str());
}

}  // namespace kelvara
