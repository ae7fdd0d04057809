#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "files/file_system.h"
#include "format/outcome.h"

namespace kelvara {

// Where a page is written to: a file, in slices as the page grows, so that a
// large page is never held whole; or, without a file, a text in memory.
class PageSink {
 public:
  static constexpr std::size_t kSlice = std::size_t{1} << 20;

  explicit PageSink(OutputFile* file = nullptr) : file_(file) {}

  // The page's next bytes are appended here; Pass() then lets them go.
  std::string& Text() { return buffer_; }
  // Writes what was appended once it makes a slice; a sink without a file keeps it.
  void Pass() {
    if (file_ != nullptr && buffer_.size() >= kSlice) Flush();
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

// Writes the page that `source` produces to a new temporary file beside
// `path`, flushes it to disk and then puts it in the page's place in one
// step, so that the page is either the old one or the new one, never half
// written. A symbolic link is followed and its target replaced. The
// temporary file never outlives a failure, nor an exception out of `source`.
Outcome WriteFileAtomically(FileSystem& files, const std::string& path, const PageSource& source);

// Makes `backupPath` hold what `page` holds now, replacing an older backup in
// one step: the older one survives every failure, a link at the backup's
// name is replaced and not followed, and anything else there (a folder, a
// pipe, a device) is refused without being opened.
Outcome KeepBackup(FileSystem& files, const std::string& page, const std::string& backupPath);

// Locks the page against other runs for as long as `lock` lives. A page
// that another run holds is busy; one that cannot be opened cannot be read.
Outcome LockPage(FileSystem& files, const std::string& path, std::unique_ptr<FileLock>& lock);

// Rewrites a page safely: a read-only page is refused, then the new page is
// written and flushed beside it, then the page is kept at `backupPath` (no
// backup when it is empty), then replaced by the new page. On any failure
// the page is as it was, and so is the older backup, unless the last step
// itself fails: the backup then already holds the page as it still is.
Outcome RewritePage(FileSystem& files, const std::string& path, const std::string& backupPath,
                    const PageSource& source);

}  // namespace kelvara
