#include <windows.h>

#include "cli/file_tree.h"
#include "text/text.h"

namespace kelvara::cli {

namespace {

// The ANSI calls take no longer path, terminator included.
bool TooLong(const std::string& path) {
  return path.size() >= MAX_PATH;
}

}  // namespace

PathInfo RealFileTree::Look(const std::string& path) {
  PathInfo info;
  if (path.empty()) return info;
  if (TooLong(path)) return {PathKind::kTooLong, {}};
  // Backup semantics let a folder be opened too; no access right is needed
  // to read its identity, and sharing everything disturbs no other program.
  const HANDLE handle =
      CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return info;
  BY_HANDLE_FILE_INFORMATION file{};
  const bool known = GetFileInformationByHandle(handle, &file) != 0;
  const DWORD type = GetFileType(handle);
  CloseHandle(handle);
  if (!known) {
    // Devices such as NUL or CON open but have no file information.
    info.kind = type == FILE_TYPE_DISK ? PathKind::kMissing : PathKind::kOther;
    return info;
  }
  info.kind = (file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::kFolder
              : type == FILE_TYPE_DISK                                ? PathKind::kFile
                                                                      : PathKind::kOther;
  info.identity.volume = file.dwVolumeSerialNumber;
  info.identity.file = (static_cast<std::uint64_t>(file.nFileIndexHigh) << 32) | file.nFileIndexLow;
  return info;
}

PathInfo RealFileTree::LookInside(const std::string& path) {
  if (TooLong(path)) return {PathKind::kTooLong, {}};
  // The attributes are the entry's own: a reparse point is not followed here.
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILENAME_EXCED_RANGE) return {PathKind::kTooLong, {}};
    const bool gone = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return {gone ? PathKind::kMissing : PathKind::kUnreadable, {}};
  }
  // A junction or a link to a folder can lead out of the tree, or back into it.
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return {PathKind::kFolderLink, {}};
  }
  return Look(path);
}

bool RealFileTree::List(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  WIN32_FIND_DATAA found{};
  const HANDLE search = FindFirstFileA(Join(folder, "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &found));
  const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(search);
  return complete;
}

std::string RealFileTree::NameKey(const std::string& name) {
  return LowerAnsi(name);
}

std::string RealFileTree::Join(const std::string& folder, const std::string& name) {
  if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/' || folder.back() == ':')) {
    return folder + name;
  }
  return folder + "\\" + name;
}

}  // namespace kelvara::cli
