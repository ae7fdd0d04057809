#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "text/real_file_system.h"

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

class PosixOutputFile final : public OutputFile {
 public:
  explicit PosixOutputFile(int fd) : fd_(fd) {}
  ~PosixOutputFile() override {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Write(std::string_view bytes) override { return fd_ >= 0 && WriteAll(fd_, bytes); }
  bool Sync() override { return fd_ >= 0 && ::fsync(fd_) == 0; }
  bool Close() override {
    const int fd = fd_;
    fd_ = -1;
    return fd >= 0 && ::close(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace

bool RealFileSystem::Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

bool RealFileSystem::Read(const std::string& path, std::string& bytes) {
  bytes.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  if (ok) {
    // The size is a hint: the loop reads until the end, whatever it is by then.
    bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
    std::size_t used = 0;
    for (;;) {
      if (used == bytes.size()) bytes.resize(bytes.size() * 2);
      const ssize_t got = ::read(fd, bytes.data() + used, bytes.size() - used);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        ok = got == 0;
        break;
      }
      used += static_cast<std::size_t>(got);
    }
    bytes.resize(used);
  }
  ::close(fd);
  if (!ok) bytes.clear();
  return ok;
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
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (out < 0) {
    ::close(in);
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
