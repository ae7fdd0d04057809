#include <windows.h>

#include <algorithm>
#include <utility>

#include "files/real_file_system.h"
#include "text/large_text.h"

namespace kelvara {
namespace {

constexpr int kNameTries = 100;

FileStatus StatusOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return FileStatus::Missing;
    case ERROR_FILENAME_EXCED_RANGE: return FileStatus::NameTooLong;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return FileStatus::Busy;
    default: return FileStatus::Failed;
  }
}

// Twelve characters that no other run is likely to pick at the same moment;
// a clash only costs another try.
std::string RandomPart() {
  static unsigned long long state = GetTickCount64() ^ (static_cast<unsigned long long>(GetCurrentProcessId()) << 40);
  std::string bytes(12, '\0');
  for (char& c : bytes) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    c = static_cast<char>(state >> 56);
  }
  return bytes;
}

class Win32OutputFile final : public OutputFile {
 public:
  explicit Win32OutputFile(HANDLE file) : file_(file) {}
  ~Win32OutputFile() override {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  }
  bool Write(std::string_view bytes) override {
    while (!bytes.empty()) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
      DWORD written = 0;
      if (file_ == INVALID_HANDLE_VALUE ||
          !WriteFile(file_, bytes.data(), chunk, &written, nullptr) || written == 0) {
        return false;
      }
      bytes.remove_prefix(written);
    }
    return true;
  }
  bool Sync() override { return file_ != INVALID_HANDLE_VALUE && FlushFileBuffers(file_); }
  bool Close() override {
    const HANDLE file = file_;
    file_ = INVALID_HANDLE_VALUE;
    return file != INVALID_HANDLE_VALUE && CloseHandle(file);
  }

 private:
  HANDLE file_;
};

class Win32Lock final : public FileLock {
 public:
  explicit Win32Lock(HANDLE file) : file_(file) {}
  ~Win32Lock() override { CloseHandle(file_); }  // closing lets go of the lock

 private:
  HANDLE file_;
};

// The lock is a byte far beyond any page's end: locking the page's own bytes
// would keep every other program, and this one, from reading them.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

bool SameFile(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION first{};
  BY_HANDLE_FILE_INFORMATION second{};
  return GetFileInformationByHandle(a, &first) && GetFileInformationByHandle(b, &second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

HANDLE OpenShared(const std::string& path, DWORD access) {
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The full path, or the path as it is when the system cannot make one.
std::string FullPath(const std::string& path) {
  std::string full(MAX_PATH, '\0');
  for (;;) {
    const DWORD size =
        GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (size == 0) return path;
    const bool fits = size < full.size();
    full.resize(size);
    if (fits) return full;
  }
}

}  // namespace

bool RealFileSystem::Replaceable(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const FileStatus status = StatusOf(GetLastError());
    return status == FileStatus::Missing || status == FileStatus::NameTooLong;
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return true;
  return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

std::unique_ptr<FileBytes> RealFileSystem::Read(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER size{};
  bool ok = GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size) != 0;
  std::string bytes;
  if (ok) {
    // The size is a hint: the loop reads until the end, whatever it is by then.
    ReserveLargeText(bytes, static_cast<std::size_t>(size.QuadPart) + 1);
    bytes.resize(static_cast<std::size_t>(size.QuadPart) + 1);
    std::size_t used = 0;
    for (;;) {
      if (used == bytes.size()) bytes.resize(bytes.size() * 2);
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - used, 1u << 30));
      DWORD got = 0;
      if (!ReadFile(file, bytes.data() + used, want, &got, nullptr)) {
        ok = false;
        break;
      }
      if (got == 0) break;
      used += got;
    }
    bytes.resize(used);
  }
  CloseHandle(file);
  if (!ok) return nullptr;
  return HoldBytes(std::move(bytes));
}

bool RealFileSystem::IsReadOnly(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

// A symbolic link's target, so that the link stays a link and the page it
// names is replaced; ReplaceFileA on the link itself would turn it into a
// file. The file's own final name is asked for every path: Wine does not
// mark a link to a file as a reparse point.
std::string RealFileSystem::ResolveLink(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return path;
  std::string target(MAX_PATH, '\0');
  DWORD size = 0;
  for (;;) {
    size = GetFinalPathNameByHandleA(file, target.data(), static_cast<DWORD>(target.size()),
                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (size < target.size()) break;
    target.resize(size + 1);
  }
  CloseHandle(file);
  if (size == 0) return path;
  target.resize(size);
  // The name comes back in its long form; the ANSI calls take the usual one.
  if (target.starts_with("\\\\?\\UNC\\")) return target.replace(0, 8, "\\\\");
  if (target.starts_with("\\\\?\\")) return target.substr(4);
  return target;
}

FileStatus RealFileSystem::Lock(const std::string& path, std::unique_ptr<FileLock>& lock) {
  const HANDLE file = OpenShared(path, GENERIC_READ);
  if (file == INVALID_HANDLE_VALUE) return StatusOf(GetLastError());
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return FileStatus::NotAFile;
  }
  OVERLAPPED place{};
  place.Offset = 0;
  place.OffsetHigh = kLockOffsetHigh;
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &place)) {
    const DWORD error = GetLastError();
    CloseHandle(file);
    return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? FileStatus::Busy
                                                                       : FileStatus::Failed;
  }
  // Another run may have replaced the page between the opening and the lock.
  const HANDLE now = OpenShared(path, 0);
  const bool same = now != INVALID_HANDLE_VALUE && SameFile(file, now);
  if (now != INVALID_HANDLE_VALUE) CloseHandle(now);
  if (!same) {
    CloseHandle(file);
    return FileStatus::Busy;
  }
  lock = std::make_unique<Win32Lock>(file);
  return FileStatus::Ok;
}

std::unique_ptr<OutputFile> RealFileSystem::CreateTemporary(const std::string& beside,
                                                            std::string& name,
                                                            FileStatus& status) {
  DWORD error = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < kNameTries; ++attempt) {
    name = TemporaryName(beside, RandomPart());
    // CREATE_NEW: a new file of our own, never one that someone else holds.
    const HANDLE file =
        CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      status = FileStatus::Ok;
      return std::make_unique<Win32OutputFile>(file);
    }
    error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  status = StatusOf(error);
  name.clear();
  return nullptr;
}

FileStatus RealFileSystem::LinkTemporary(const std::string& path, const std::string& beside,
                                         std::string& name) {
  // The second name is only as good as the bytes behind it.
  const HANDLE file = OpenShared(path, GENERIC_WRITE);
  if (file != INVALID_HANDLE_VALUE) {
    FlushFileBuffers(file);
    CloseHandle(file);
  }
  DWORD error = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < kNameTries; ++attempt) {
    name = TemporaryName(beside, RandomPart());
    if (CreateHardLinkA(name.c_str(), path.c_str(), nullptr)) return FileStatus::Ok;
    error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  name.clear();
  return StatusOf(error);
}

bool RealFileSystem::CopyAttributes(const std::string& original, const std::string& copy) {
  // A new file in the page's folder gets the folder's security, as the page
  // did; the attributes are all that is left to carry over.
  const DWORD attributes = GetFileAttributesA(original.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  return SetFileAttributesA(copy.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) != 0;
}

FileStatus RealFileSystem::Rename(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? FileStatus::Ok
             : StatusOf(GetLastError());
}

FileStatus RealFileSystem::Replace(const std::string& replacement, const std::string& target) {
  if (GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
    // ReplaceFileA keeps the page's attributes, security and creation time.
    // It is given full paths: Wine's fails on a relative one without a
    // backslash ("page.htm", "site/page.htm").
    return ReplaceFileA(FullPath(target).c_str(), FullPath(replacement).c_str(), nullptr,
                        REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
               ? FileStatus::Ok
               : StatusOf(GetLastError());
  }
  return Rename(replacement, target);
}

void RealFileSystem::Remove(const std::string& path) {
  DeleteFileA(path.c_str());
}

}  // namespace kelvara
