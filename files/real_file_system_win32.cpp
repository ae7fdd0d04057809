#include <windows.h>

#include <algorithm>
#include <utility>

#include "text/large_text.h"
#include "files/real_file_system.h"

namespace kelvara {
namespace {

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

bool RealFileSystem::Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Read, never mapped: Windows will not replace a file while a view of it is
// open, and the scanner may still hold a page when the page is rewritten.
std::unique_ptr<FileBytes> RealFileSystem::Read(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) != 0;
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

bool RealFileSystem::Copy(const std::string& from, const std::string& to) {
  return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

std::string RealFileSystem::ResolveLink(const std::string& path) {
  return path;
}

std::unique_ptr<OutputFile> RealFileSystem::Create(const std::string& path) {
  // A leftover marked read-only or hidden would make CREATE_ALWAYS fail.
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32OutputFile>(file);
}

bool RealFileSystem::Replace(const std::string& replacement, const std::string& target) {
  if (GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
    // ReplaceFileA keeps the page's attributes, security and creation time.
    // It is given full paths: Wine's fails on a relative one without a
    // backslash ("page.htm", "site/page.htm").
    return ReplaceFileA(FullPath(target).c_str(), FullPath(replacement).c_str(), nullptr,
                        REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
  }
  return MoveFileExA(replacement.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void RealFileSystem::Remove(const std::string& path) {
  DeleteFileA(path.c_str());
}

}  // namespace kelvara
