#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <utility>
#include <vector>

#include "files/real_file_system.h"
#include "text/large_text.h"

namespace kelvara {
namespace {

// Temporary names are tried afresh this often before giving up: a clash
// means someone else holds the name, never that it is ours to take.
constexpr int kNameTries = 100;

FileStatus StatusOf(int error) {
  switch (error) {
    case ENOENT:
      return FileStatus::Missing;
    case ENAMETOOLONG:
      return FileStatus::NameTooLong;
    case EISDIR:
    case ENOTDIR:
    case ELOOP:
      return FileStatus::NotAFile;
    case ENOSPC:
    case EDQUOT:
      return FileStatus::DiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
      return FileStatus::NotWritable;
    case EXDEV:
      return FileStatus::Unsupported;
    default:
      return FileStatus::Failed;
  }
}

FileStatus Done(int result) {
  return result == 0 ? FileStatus::Ok : StatusOf(errno);
}

// Twelve characters from the system's random source; where it cannot serve
// (an old kernel), the clock and the process stand in: the name only has to
// be one that nobody else is using at the moment.
std::string RandomPart() {
  std::string bytes(12, '\0');
  if (::getrandom(bytes.data(), bytes.size(), GRND_NONBLOCK) !=
      static_cast<ssize_t>(bytes.size())) {
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

// A descriptor closed when it goes.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int Get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

class PosixFolder final : public Folder {
 public:
  explicit PosixFolder(int fd) : fd_(fd) {}
  int Fd() const { return fd_.Get(); }

 private:
  Descriptor fd_;
};

int FdOf(Folder& folder) {
  return static_cast<PosixFolder&>(folder).Fd();
}

class PosixOutputFile final : public OutputFile {
 public:
  explicit PosixOutputFile(int fd) : fd_(fd) {}
  FileStatus Write(std::string_view bytes) override {
    const std::size_t size = bytes.size();
    while (!bytes.empty()) {
      const ssize_t written = ::write(fd_.Get(), bytes.data(), bytes.size());
      if (written < 0 && errno == EINTR) continue;
      if (written < 0) return StatusOf(errno);
      bytes.remove_prefix(static_cast<std::size_t>(written));
    }
#if defined(SYNC_FILE_RANGE_WRITE)
    // A large page is written in slices. Sending each slice on its way to
    // the disk at once lets the disk work while the next one is made, so
    // that Sync() is left to wait for the last few only.
    if (size >= kStartWritingFrom) {
      ::sync_file_range(fd_.Get(), static_cast<off_t>(written_), static_cast<off_t>(size),
                        SYNC_FILE_RANGE_WRITE);
    }
#endif
    written_ += size;
    return FileStatus::Ok;
  }
  FileStatus Sync() override {
    return Done(::fsync(fd_.Get()));
  }
  FileStatus Close() override {
    return Done(::close(fd_.Release()));
  }

 private:
  static constexpr std::size_t kStartWritingFrom = std::size_t{256} << 10;

  Descriptor fd_;
  std::size_t written_ = 0;
};

class PosixLock final : public FileLock {
 public:
  explicit PosixLock(int fd) : fd_(fd) {}  // closing lets go of the lock

 private:
  Descriptor fd_;
};

// Opens a file for reading without ever waiting: a pipe or a device under a
// page's name must not hang the run.
int OpenForReading(const std::string& path) {
  return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

int OpenFolderFd(int at, const char* path, int follow) {
  return ::openat(at, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC | follow);
}

// True when this process may give a file the group `group`: its own, or one it belongs to.
bool InGroup(gid_t group) {
  if (group == ::getegid()) return true;
  std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
  const int count = ::getgroups(static_cast<int>(groups.size()), groups.data());
  return count >= 0 &&
         std::find(groups.begin(), groups.begin() + count, group) != groups.begin() + count;
}

// The names of a file's extended attributes.
std::vector<std::string> AttributeNames(int fd) {
  std::vector<std::string> names;
  std::string list;
  for (;;) {
    const ssize_t size = ::flistxattr(fd, nullptr, 0);
    if (size <= 0) return names;
    list.resize(static_cast<std::size_t>(size));
    const ssize_t got = ::flistxattr(fd, list.data(), list.size());
    if (got >= 0) {
      list.resize(static_cast<std::size_t>(got));
      break;
    }
    if (errno != ERANGE) return names;  // grew meanwhile: ask again
  }
  for (std::size_t at = 0; at < list.size();) {
    const std::size_t end = list.find('\0', at);
    names.emplace_back(list.substr(at, end - at));
    at = end == std::string::npos ? list.size() : end + 1;
  }
  return names;
}

// An attribute's value; false when the file has none of that name.
bool AttributeValue(int fd, const std::string& name, std::string& value) {
  for (;;) {
    const ssize_t size = ::fgetxattr(fd, name.c_str(), nullptr, 0);
    if (size < 0) return false;
    value.resize(static_cast<std::size_t>(size));
    const ssize_t got = ::fgetxattr(fd, name.c_str(), value.data(), value.size());
    if (got >= 0) {
      value.resize(static_cast<std::size_t>(got));
      return true;
    }
    if (errno != ERANGE) return false;
  }
}

// Gives `to` exactly the extended attributes of `from` that decide who may
// read it (its access control list) or that its owner set: the ones `to`
// took from its folder and `from` lacks go, the others are copied.
bool CopyAttributes(int from, int to) {
  const std::vector<std::string> wanted = AttributeNames(from);
  for (const std::string& name : AttributeNames(to)) {
    const bool ours = name == "system.posix_acl_access" || name.starts_with("user.");
    if (ours && std::find(wanted.begin(), wanted.end(), name) == wanted.end() &&
        ::fremovexattr(to, name.c_str()) != 0) {
      return false;
    }
  }
  std::string value;
  std::string present;
  for (const std::string& name : wanted) {
    if (!AttributeValue(from, name, value)) return false;
    if (AttributeValue(to, name, present) && present == value) continue;
    if (::fsetxattr(to, name.c_str(), value.data(), value.size(), 0) != 0) return false;
  }
  return true;
}

}  // namespace

FileStatus RealFileSystem::Lock(const std::string& path, std::unique_ptr<FileLock>& lock) {
  Descriptor fd(OpenForReading(path));
  if (fd.Get() < 0) return StatusOf(errno);
  struct stat held {};
  if (::fstat(fd.Get(), &held) != 0 || !S_ISREG(held.st_mode)) return FileStatus::NotAFile;
  if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) return FileStatus::Busy;
  // Another run may have replaced the page between the opening and the
  // lock; the lock is then on a file that is no longer the page.
  struct stat now {};
  if (::stat(path.c_str(), &now) != 0 || now.st_dev != held.st_dev || now.st_ino != held.st_ino) {
    return FileStatus::Busy;
  }
  lock = std::make_unique<PosixLock>(fd.Release());
  return FileStatus::Ok;
}

// Read, never mapped: another program cutting a mapped file short would end
// this process in the middle of its work.
std::unique_ptr<FileBytes> RealFileSystem::Read(const std::string& path) {
  Descriptor fd(OpenForReading(path));
  if (fd.Get() < 0) return nullptr;
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
  return ReadToEnd(fd.Get(), static_cast<std::size_t>(info.st_size));
}

PageFacts RealFileSystem::Facts(const std::string& path) {
  PageFacts facts;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return facts;
  // rename() would replace even a file without write permission, so the
  // permission bits are checked here; they also count for root, whom access()
  // always lets through.
  facts.readOnly =
      (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
      (::access(path.c_str(), W_OK) != 0 && (errno == EACCES || errno == EROFS || errno == EPERM));
  facts.otherNames = info.st_nlink > 1;
  // Only root may give a file away, and others only to a group of theirs.
  facts.otherOwner = ::geteuid() != 0 && (info.st_uid != ::geteuid() || !InGroup(info.st_gid));
  return facts;
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

FileStatus RealFileSystem::OpenFolderOf(const std::string& path, std::unique_ptr<Folder>& folder,
                                        std::string& name) {
  PathParts parts = SplitPath(path);
  const std::string folderPath = std::move(parts.folder);
  name = std::move(parts.name);
  const int fd = OpenFolderFd(AT_FDCWD, folderPath.c_str(), 0);
  if (fd < 0) return StatusOf(errno);
  folder = std::make_unique<PosixFolder>(fd);
  return FileStatus::Ok;
}

FileStatus RealFileSystem::OpenFolder(const std::string& path, std::unique_ptr<Folder>& folder) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  const int fd = OpenFolderFd(AT_FDCWD, path.c_str(), 0);
  if (fd < 0) return FileStatus::Failed;
  folder = std::make_unique<PosixFolder>(fd);
  return FileStatus::Ok;
}

FileStatus RealFileSystem::OpenSubfolder(Folder& parent, const std::string& name,
                                         std::unique_ptr<Folder>& folder) {
  if (::mkdirat(FdOf(parent), name.c_str(), 0777) != 0 && errno != EEXIST) return StatusOf(errno);
  // O_NOFOLLOW: a link planted at the folder's name ends the way here.
  const int fd = OpenFolderFd(FdOf(parent), name.c_str(), O_NOFOLLOW);
  if (fd < 0) return StatusOf(errno);
  folder = std::make_unique<PosixFolder>(fd);
  return FileStatus::Ok;
}

FileStatus RealFileSystem::CheckWritable(Folder& folder) {
  // An append-only or immutable folder takes new names but gives none up:
  // a temporary file made there could never be removed.
  int flags = 0;
  if (::ioctl(FdOf(folder), FS_IOC_GETFLAGS, &flags) == 0 &&
      (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0) {
    return FileStatus::NotWritable;
  }
  if (::faccessat(FdOf(folder), ".", W_OK | X_OK, AT_EACCESS) != 0 &&
      (errno == EACCES || errno == EROFS || errno == EPERM)) {
    return FileStatus::NotWritable;
  }
  return FileStatus::Ok;
}

std::size_t RealFileSystem::NameLimit(Folder& folder) {
  const long limit = ::fpathconf(FdOf(folder), _PC_NAME_MAX);
  return limit > 0 ? static_cast<std::size_t>(limit) : 255;
}

std::unique_ptr<OutputFile> RealFileSystem::CreateTemporary(Folder& folder, std::string& name,
                                                            FileStatus& status) {
  for (int attempt = 0; attempt < kNameTries; ++attempt) {
    name = TemporaryName(RandomPart());
    // O_EXCL: a new file of our own, never one that someone else holds or
    // planted; private until it is given the page's permissions.
    const int fd = ::openat(FdOf(folder), name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
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

FileStatus RealFileSystem::CopyAccess(Folder& fromFolder, const std::string& from, Folder& toFolder,
                                      const std::string& to) {
  Descriptor target(::openat(FdOf(toFolder), to.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (target.Get() < 0) return FileStatus::Failed;
  struct stat info {};
  if (::fstatat(FdOf(fromFolder), from.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
      !S_ISREG(info.st_mode)) {
    // A new page (one written to another folder, or in place of a link) is
    // as readable as any new file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return Done(::fchmod(target.Get(), 0666 & ~mask));
  }
  Descriptor source(::openat(FdOf(fromFolder), from.c_str(),
                             O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (source.Get() < 0) return FileStatus::NotPermitted;
  // The owner first, which clears the set-id bits; the permissions then;
  // the access control list last, since setting the permissions rewrites
  // its mask.
  if (::fchown(target.Get(), info.st_uid, info.st_gid) != 0) return FileStatus::NotPermitted;
  if (::fchmod(target.Get(), info.st_mode & 07777) != 0) return FileStatus::Failed;
  return CopyAttributes(source.Get(), target.Get()) ? FileStatus::Ok : FileStatus::NotPermitted;
}

FileStatus RealFileSystem::Replaceable(Folder& folder, const std::string& name) {
  struct stat info {};
  if (::fstatat(FdOf(folder), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    return errno == ENOENT ? FileStatus::Ok : StatusOf(errno);
  }
  return S_ISREG(info.st_mode) || S_ISLNK(info.st_mode) ? FileStatus::Ok : FileStatus::NotAFile;
}

FileStatus RealFileSystem::Rename(Folder& folder, const std::string& from, Folder& toFolder,
                                  const std::string& to) {
  if (::renameat(FdOf(folder), from.c_str(), FdOf(toFolder), to.c_str()) != 0) {
    return StatusOf(errno);
  }
  // Two names of one file: rename() then leaves both, and the old name would
  // linger as a stray copy.
  struct stat left {};
  if (::fstatat(FdOf(folder), from.c_str(), &left, AT_SYMLINK_NOFOLLOW) == 0) {
    ::unlinkat(FdOf(folder), from.c_str(), 0);
  }
  return FileStatus::Ok;
}

FileStatus RealFileSystem::Exchange(Folder& folder, const std::string& a, const std::string& b) {
  if (::renameat2(FdOf(folder), a.c_str(), FdOf(folder), b.c_str(), RENAME_EXCHANGE) == 0) {
    return FileStatus::Ok;
  }
  // A file system or kernel that cannot swap names: the caller copies.
  if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) return FileStatus::Unsupported;
  return StatusOf(errno);
}

FileStatus RealFileSystem::Replace(Folder& folder, const std::string& replacement,
                                   const std::string& target) {
  return Rename(folder, replacement, folder, target);
}

void RealFileSystem::Remove(Folder& folder, const std::string& name) {
  ::unlinkat(FdOf(folder), name.c_str(), 0);
}

FileStatus RealFileSystem::SyncFolder(Folder& folder) {
  return Done(::fsync(FdOf(folder)));
}

}  // namespace kelvara
