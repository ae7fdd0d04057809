#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "files/file_system.h"
#include "format/outcome.h"

namespace kelvara {

// Where a page is written to: a file, in slices as the page grows, so that a
// large page is never held whole.
class PageSink {
 public:
  static constexpr std::size_t kSlice = std::size_t{1} << 20;

  explicit PageSink(OutputFile* file) : file_(file) {}

  // The page's next bytes are appended here; Pass() then lets them go.
  std::string& Text() { return buffer_; }
  // Writes what was appended once it makes a slice.
  void Pass() {
    if (buffer_.size() >= kSlice) Flush();
  }
  void Write(std::string_view bytes);
  // Writes everything appended so far; false when any write has failed.
  bool Flush();

 private:
  OutputFile* file_;
  std::string buffer_;
  bool failed_ = false;
};

using PageSource = std::function<void(PageSink&)>;

// Locks the page against other runs for as long as `lock` lives. A page
// that another run holds is busy; one that cannot be opened cannot be read.
Outcome LockPage(FileSystem& files, const std::string& path, std::unique_ptr<FileLock>& lock);

// Rewrites a page safely: a read-only page is refused, then the page is kept
// at `backupPath` (no backup when it is empty), then replaced by what
// `source` produces. On any failure the page is as it was.
//
// The backup replaces an older one in one step: the older one survives every
// failure, a link at the backup's name is replaced and not followed, and
// anything else there (a folder, a pipe, a device) is refused without being
// opened. The new page goes to a temporary file beside the page, flushed to
// disk, then takes the page's place in one step, so that the page is either
// the old one or the new one, never half written; a symbolic link at the
// page's name is followed and its target replaced. No temporary file outlives
// a failure, nor an exception out of `source`.
Outcome RewritePage(FileSystem& files, const std::string& path, const std::string& backupPath,
                    const PageSource& source);

}  // namespace kelvara
