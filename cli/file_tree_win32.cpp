#include <windows.h>

#include "cli/file_tree.h"

namespace kelvara::cli {

PathInfo RealFileTree::Look(const std::string& path) {
  PathInfo info;
  if (path.empty()) return info;
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

std::string RealFileTree::Join(const std::string& folder, const std::string& name) {
  if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/' || folder.back() == ':')) {
    return folder + name;
  }
  return folder + "\\" + name;
}

}  // namespace kelvara::cli
