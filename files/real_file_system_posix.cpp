#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <utility>

#include "files/real_file_system.h"
#include "text/large_text.h"

namespace kelvara {
namespace {

// Temporary names are tried afresh this often before giving up: a clash
// means someone else holds the name, never that it is ours to take.
constexpr int kNameTries = 100;

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

FileStatus StatusOf(int error) {
  switch (error) {
    case ENOENT: return FileStatus::Missing;
    case ENAMETOOLONG: return FileStatus::NameTooLong;
    case EISDIR:
    case ENOTDIR: return FileStatus::NotAFile;
    default: return FileStatus::Failed;
  }
}

// Twelve characters from the system's random source; where it cannot serve
// (an old kernel), the clock and the process stand in: the name only has to
// be one that nobody else is using at the moment.
std::string RandomPart() {
  std::string bytes(12, '\0');
  if (::getrandom(bytes.data(), bytes.size(), GRND_NONBLOCK) != static_cast<ssize_t>(bytes.size())) {
    auto seed = static_cast<unsigned long long>(
                    std::chrono::steady_clock::now().time_since_epoch().count()) ^
                static_cast<unsigned long long>(::getpid()) << 40;
    for (char& c : bytes) {
      seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
      c = static_cast<char>(seed >> 56);
    }
  }
  return bytes;
}

// Reads to the end, whatever the size is by then; `size` is only a hint.
std::unique_ptr<FileBytes> ReadToEnd(int fd, std::size_t size) {
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
  bool Sync() override { return fd_ >= 0 && ::fsync(fd_) == 0; }
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

class PosixLock final : public FileLock {
 public:
  explicit PosixLock(int fd) : fd_(fd) {}
  ~PosixLock() override { ::close(fd_); }  // closing lets go of the lock

 private:
  int fd_;
};

// Opens a file for reading without ever waiting: a pipe or a device under a
// page's name must not hang the run.
int OpenForReading(const std::string& path) {
  return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

}  // namespace

bool RealFileSystem::Replaceable(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT || errno == ENAMETOOLONG;
  return S_ISREG(info.st_mode) || S_ISLNK(info.st_mode);
}

// Read, never mapped: another program cutting a mapped file short would end
// this process in the middle of its work.
std::unique_ptr<FileBytes> RealFileSystem::Read(const std::string& path) {
  const int fd = OpenForReading(path);
  if (fd < 0) return nullptr;
  struct stat info {};
  std::unique_ptr<FileBytes> bytes;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    bytes = ReadToEnd(fd, static_cast<std::size_t>(info.st_size));
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

std::string RealFileSystem::ResolveLink(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;
  std::string resolved(real);
  std::free(real);
  return resolved;
}

FileStatus RealFileSystem::Lock(const std::string& path, std::unique_ptr<FileLock>& lock) {
  const int fd = OpenForReading(path);
  if (fd < 0) return StatusOf(errno);
  struct stat held {};
  if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
    ::close(fd);
    return FileStatus::NotAFile;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    ::close(fd);
    return FileStatus::Busy;
  }
  // Another run may have replaced the page between the opening and the
  // lock; the lock is then on a file that is no longer the page.
  struct stat now {};
  if (::stat(path.c_str(), &now) != 0 || now.st_dev != held.st_dev || now.st_ino != held.st_ino) {
    ::close(fd);
    return FileStatus::Busy;
  }
  lock = std::make_unique<PosixLock>(fd);
  return FileStatus::Ok;
}

std::unique_ptr<OutputFile> RealFileSystem::CreateTemporary(const std::string& beside,
                                                            std::string& name,
                                                            FileStatus& status) {
  for (int attempt = 0; attempt < kNameTries; ++attempt) {
    name = TemporaryName(beside, RandomPart());
    // O_EXCL: a new file of our own, never one that someone else holds or planted.
    const int fd =
        ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0) {
      status = FileStatus::Ok;
      return std::make_unique<PosixOutputFile>(fd);
    }
    if (errno != EEXIST) break;
  }
  status = StatusOf(errno);
  name.clear();
  return nullptr;
}

FileStatus RealFileSystem::LinkTemporary(const std::string& path, const std::string& beside,
                                         std::string& name) {
  // The second name is only as good as the bytes behind it, which may still
  // be waiting in the system's cache; on a file already on the disk this costs nothing.
  const int fd = OpenForReading(path);
  if (fd < 0) return StatusOf(errno);
  struct stat info {};
  const bool synced = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::fsync(fd) == 0;
  ::close(fd);
  if (!synced) return FileStatus::Failed;
  for (int attempt = 0; attempt < kNameTries; ++attempt) {
    name = TemporaryName(beside, RandomPart());
    if (::link(path.c_str(), name.c_str()) == 0) return FileStatus::Ok;
    if (errno != EEXIST) break;
  }
  const FileStatus status = StatusOf(errno);
  name.clear();
  return status;
}

bool RealFileSystem::CopyAttributes(const std::string& original, const std::string& copy) {
  struct stat info {};
  if (::stat(original.c_str(), &info) != 0) return false;
  // Only root can give a file away; anyone else keeps the copy as their own.
  if (::chown(copy.c_str(), info.st_uid, info.st_gid) != 0 && errno != EPERM) return false;
  return ::chmod(copy.c_str(), info.st_mode & 07777) == 0;
}

FileStatus RealFileSystem::Rename(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return StatusOf(errno);
  // Two names of one file: rename() then leaves both, and the old name would
  // linger as a stray copy.
  struct stat left {};
  if (::lstat(from.c_str(), &left) == 0) ::unlink(from.c_str());
  return FileStatus::Ok;
}

FileStatus RealFileSystem::Replace(const std::string& replacement, const std::string& target) {
  struct stat info {};
  if (::stat(target.c_str(), &info) == 0) {
    if (::chmod(replacement.c_str(), info.st_mode & 07777) != 0) return FileStatus::Failed;
    // Keeps the page's owner where we may; only root can give files away.
    if (::chown(replacement.c_str(), info.st_uid, info.st_gid) != 0 && errno != EPERM) {
      return FileStatus::Failed;
    }
  } else {
    // A new page (one written to another folder) is as readable as any new
    // file; the temporary file was made private only while it was written.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::chmod(replacement.c_str(), 0666 & ~mask) != 0) return FileStatus::Failed;
  }
  // The folder is not synced after the rename: the new page's bytes reached
  // the disk before it took the page's name, so a crash can at worst bring
  // back the old page whole, and a sync per page would double the cost of
  // protecting a folder of pages.
  return Rename(replacement, target);
}

void RealFileSystem::Remove(const std::string& path) {
  ::unlink(path.c_str());
}

}  // namespace kelvara
