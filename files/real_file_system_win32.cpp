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
    case ERROR_PATH_NOT_FOUND:
      return FileStatus::Missing;
    case ERROR_FILENAME_EXCED_RANGE:
      return FileStatus::NameTooLong;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return FileStatus::Busy;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return FileStatus::DiskFull;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return FileStatus::NotWritable;
    case ERROR_NOT_SAME_DEVICE:
      return FileStatus::Unsupported;
    default:
      return FileStatus::Failed;
  }
}

FileStatus Done(BOOL result) {
  return result ? FileStatus::Ok : StatusOf(GetLastError());
}

// Twelve characters that no other run is likely to pick at the same moment;
// a clash only costs another try.
std::string RandomPart() {
  static unsigned long long state =
      GetTickCount64() ^ (static_cast<unsigned long long>(GetCurrentProcessId()) << 40);
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
  FileStatus Write(std::string_view bytes) override {
    while (!bytes.empty()) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
      DWORD written = 0;
      if (file_ == INVALID_HANDLE_VALUE ||
          !WriteFile(file_, bytes.data(), chunk, &written, nullptr)) {
        return StatusOf(GetLastError());
      }
      if (written == 0) return FileStatus::Failed;
      bytes.remove_prefix(written);
    }
    return FileStatus::Ok;
  }
  FileStatus Sync() override {
    return file_ != INVALID_HANDLE_VALUE ? Done(FlushFileBuffers(file_)) : FileStatus::Failed;
  }
  FileStatus Close() override {
    const HANDLE file = std::exchange(file_, INVALID_HANDLE_VALUE);
    return file != INVALID_HANDLE_VALUE ? Done(CloseHandle(file)) : FileStatus::Failed;
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

// A folder by its full path, held open without leave to delete it, so that
// nothing can move it or put a link in its place while it is written in.
class Win32Folder final : public Folder {
 public:
  Win32Folder(std::string path, HANDLE handle) : path_(std::move(path)), handle_(handle) {}
  ~Win32Folder() override { CloseHandle(handle_); }
  std::string In(const std::string& name) const {
    const bool ends = !path_.empty() && (path_.back() == '\\' || path_.back() == '/');
    return ends ? path_ + name : path_ + "\\" + name;
  }

 private:
  std::string path_;
  HANDLE handle_;
};

const Win32Folder& Of(Folder& folder) {
  return static_cast<const Win32Folder&>(folder);
}

// The lock is a byte far beyond any page's end: locking the page's own bytes
// would keep every other program, and this one, from reading them.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

bool Information(HANDLE file, BY_HANDLE_FILE_INFORMATION& info) {
  return GetFileInformationByHandle(file, &info) != 0;
}

bool SameFile(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION first{};
  BY_HANDLE_FILE_INFORMATION second{};
  return Information(a, first) && Information(b, second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

HANDLE OpenShared(const std::string& path, DWORD access, DWORD flags = FILE_ATTRIBUTE_NORMAL) {
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, flags, nullptr);
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

// Opens a folder to write in. With `noLink`, a link or junction at its name
// is refused rather than followed.
FileStatus OpenFolderAt(const std::string& path, bool noLink, std::unique_ptr<Folder>& folder) {
  const std::string full = FullPath(path);
  const HANDLE handle = CreateFileA(
      full.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS | (noLink ? FILE_FLAG_OPEN_REPARSE_POINT : 0), nullptr);
  if (handle == INVALID_HANDLE_VALUE) return StatusOf(GetLastError());
  BY_HANDLE_FILE_INFORMATION info{};
  if (!Information(handle, info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (noLink && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)) {
    CloseHandle(handle);
    return FileStatus::NotAFile;
  }
  folder = std::make_unique<Win32Folder>(full, handle);
  return FileStatus::Ok;
}

}  // namespace

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
  // Another run may have replaced the page between the opening and the
  // lock. A program that holds the page open without leave to delete it
  // would keep its names from being moved, half-way through a rewrite; one
  // that holds it open to write may be writing it now. Either makes it busy.
  const HANDLE now = CreateFileA(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  const bool same = now != INVALID_HANDLE_VALUE && SameFile(file, now);
  if (now != INVALID_HANDLE_VALUE) CloseHandle(now);
  if (!same) {
    CloseHandle(file);
    return FileStatus::Busy;
  }
  lock = std::make_unique<Win32Lock>(file);
  return FileStatus::Ok;
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

PageFacts RealFileSystem::Facts(const std::string& path) {
  PageFacts facts;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  facts.readOnly =
      attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  const HANDLE file = OpenShared(path, 0);
  BY_HANDLE_FILE_INFORMATION info{};
  if (file != INVALID_HANDLE_VALUE) {
    facts.otherNames = Information(file, info) && info.nNumberOfLinks > 1;
    CloseHandle(file);
  }
  return facts;
}

// A symbolic link's target, so that the link stays a link and the page it
// names is replaced; ReplaceFileA on the link itself would turn it into a
// file. The file's own final name is asked for every path: Wine does not
// mark a link to a file as a reparse point.
std::string RealFileSystem::ResolveLink(const std::string& path) {
  const HANDLE file = OpenShared(path, 0, FILE_FLAG_BACKUP_SEMANTICS);
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

FileStatus RealFileSystem::OpenFolderOf(const std::string& path, std::unique_ptr<Folder>& folder,
                                        std::string& name) {
  PathParts parts = SplitPath(path);
  const std::string folderPath = std::move(parts.folder);
  name = std::move(parts.name);
  return OpenFolderAt(folderPath, false, folder);
}

// The folders are made by the system's byte-string calls, which read the
// names in the process's code page (UTF-8 in kelvara-cli); the standard
// library would read their bytes otherwise. A drive-relative "Z:name" is made
// where that drive's current folder is.
FileStatus RealFileSystem::OpenFolder(const std::string& path, std::unique_ptr<Folder>& folder) {
  for (std::size_t at = path.find_first_of("\\/");; at = path.find_first_of("\\/", at + 1)) {
    const std::string part = path.substr(0, at);
    if (!part.empty() && !part.ends_with(':')) CreateDirectoryA(part.c_str(), nullptr);
    if (at == std::string::npos) break;
  }
  return OpenFolderAt(path, false, folder) == FileStatus::Ok ? FileStatus::Ok : FileStatus::Failed;
}

FileStatus RealFileSystem::OpenSubfolder(Folder& parent, const std::string& name,
                                         std::unique_ptr<Folder>& folder) {
  const std::string path = Of(parent).In(name);
  if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    return StatusOf(GetLastError());
  }
  return OpenFolderAt(path, true, folder);
}

FileStatus RealFileSystem::CheckWritable(Folder&) {
  // Windows tells whether a folder takes new files only by making one.
  return FileStatus::Ok;
}

std::size_t RealFileSystem::NameLimit(Folder&) {
  return MAX_PATH - 5;  // 255, the longest name NTFS and FAT take
}

std::unique_ptr<OutputFile> RealFileSystem::CreateTemporary(Folder& folder, std::string& name,
                                                            FileStatus& status) {
  DWORD error = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < kNameTries; ++attempt) {
    name = TemporaryName(RandomPart());
    // CREATE_NEW: a new file of our own, never one that someone else holds.
    const HANDLE file = CreateFileA(Of(folder).In(name).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
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

FileStatus RealFileSystem::CopyAccess(Folder& fromFolder, const std::string& from, Folder& toFolder,
                                      const std::string& to) {
  // A new file in the page's folder gets the folder's security, as the page
  // did, and ReplaceFileA keeps the page's own; the attributes are all that
  // is left to carry over.
  const DWORD attributes = GetFileAttributesA(Of(fromFolder).In(from).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return FileStatus::Ok;
  }
  return Done(
      SetFileAttributesA(Of(toFolder).In(to).c_str(), attributes & ~FILE_ATTRIBUTE_READONLY));
}

FileStatus RealFileSystem::Replaceable(Folder& folder, const std::string& name) {
  const DWORD attributes = GetFileAttributesA(Of(folder).In(name).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const FileStatus status = StatusOf(GetLastError());
    return status == FileStatus::Missing ? FileStatus::Ok : status;
  }
  const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return link || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0
             ? FileStatus::Ok
             : FileStatus::NotAFile;
}

FileStatus RealFileSystem::Rename(Folder& folder, const std::string& from, Folder& toFolder,
                                  const std::string& to) {
  return Done(MoveFileExA(Of(folder).In(from).c_str(), Of(toFolder).In(to).c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
}

FileStatus RealFileSystem::Exchange(Folder&, const std::string&, const std::string&) {
  return FileStatus::Unsupported;
}

FileStatus RealFileSystem::Replace(Folder& folder, const std::string& replacement,
                                   const std::string& target) {
  const std::string targetPath = Of(folder).In(target);
  if (GetFileAttributesA(targetPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
    return Rename(folder, replacement, folder, target);
  }
  // ReplaceFileA keeps the page's attributes, security and creation time.
  return Done(ReplaceFileA(targetPath.c_str(), Of(folder).In(replacement).c_str(), nullptr,
                           REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr));
}

void RealFileSystem::Remove(Folder& folder, const std::string& name) {
  DeleteFileA(Of(folder).In(name).c_str());
}

FileStatus RealFileSystem::SyncFolder(Folder&) {
  // Names moved with MOVEFILE_WRITE_THROUGH are on the disk when the move returns.
  return FileStatus::Ok;
}

}  // namespace kelvara
