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

  // The page's next bytes are appended here; WriteFullSlices() lets them go.
  std::string& Buffer() { return buffer_; }
  // Writes what was appended once it makes a slice.
  void WriteFullSlices() {
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

// Writes a page's new form into the sink; a refusal abandons the rewrite.
using PageSource = std::function<Outcome(PageSink&)>;

// Locks the page against other runs for as long as `lock` lives. A page
// that another run holds is busy; one that cannot be opened cannot be read.
Outcome LockPage(FileSystem& files, const std::string& path, std::unique_ptr<FileLock>& lock);

// Rewrites a page safely: a read-only page is refused, then what `source`
// produces (unless it refuses) is written to a temporary file beside the page and flushed to
// disk, then the page is kept at `backupPath` (no backup when it is empty),
// then the new page takes the page's place in one step. On any failure the
// page is as it was, and so is the older backup, unless the last step itself
// fails: the backup then already holds the page as it still is.
//
// The backup replaces an older one in one step, a link at the backup's name
// is replaced and not followed, and anything else there (a folder, a pipe, a
// device) is refused without being opened. A symbolic link at the page's
// name is followed and its target replaced. No temporary file outlives a
// failure, nor an exception out of `source`.
Outcome RewritePage(FileSystem& files, const std::string& path, const std::string& backupPath,
                    const PageSource& source);

}  // namespace kelvara
