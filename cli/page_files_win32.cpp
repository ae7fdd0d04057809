#include <windows.h>

#include "cli/page_files.h"
#include "text/real_file_system.h"

namespace kelvara::cli {
namespace {

// The full path of `path`, with backslashes only; the path as it is if the
// system cannot make one.
std::string FullPath(const std::string& path) {
  std::string full(MAX_PATH, '\0');
  for (;;) {
    const DWORD size =
        GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (size == 0) return path;
    if (size < full.size()) {
      full.resize(size);
      return full;
    }
    full.resize(size);
  }
}

// Hands the real files every path in full. ReplaceFileA, which puts the
// rewritten page in place, fails under Wine with ERROR_DIRECTORY for a
// relative path without a backslash ("page.htm", "site/page.htm"), and a
// page that cannot be replaced is refused. The page keeps its name as given
// everywhere else: in the output and as a title.
class FullPathFileSystem final : public FileSystem {
 public:
  bool Exists(const std::string& path) override { return real_.Exists(FullPath(path)); }
  bool Read(const std::string& path, std::string& bytes) override {
    return real_.Read(FullPath(path), bytes);
  }
  bool IsReadOnly(const std::string& path) override { return real_.IsReadOnly(FullPath(path)); }
  bool Copy(const std::string& from, const std::string& to) override {
    return real_.Copy(FullPath(from), FullPath(to));
  }
  std::string ResolveLink(const std::string& path) override {
    return real_.ResolveLink(FullPath(path));
  }
  std::unique_ptr<OutputFile> Create(const std::string& path) override {
    return real_.Create(FullPath(path));
  }
  bool Replace(const std::string& replacement, const std::string& target) override {
    return real_.Replace(FullPath(replacement), FullPath(target));
  }
  void Remove(const std::string& path) override { real_.Remove(FullPath(path)); }

 private:
  RealFileSystem real_;
};

}  // namespace

std::unique_ptr<FileSystem> MakePageFiles() {
  return std::make_unique<FullPathFileSystem>();
}

}  // namespace kelvara::cli
