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
  // Writes everything appended so far: Ok, or how the first failed write failed.
  FileStatus Flush();

 private:
  OutputFile* file_;
  std::string buffer_;
  FileStatus status_ = FileStatus::Ok;
};

// Writes a page's new form into the sink; a refusal abandons the rewrite.
using PageSource = std::function<Outcome(PageSink&)>;

// Locks the page against other runs for as long as `lock` lives. A page
// that another run holds is busy; one that cannot be opened cannot be read.
Outcome LockPage(FileSystem& files, const std::string& path, std::unique_ptr<FileLock>& lock);

// Rewrites a page in place, safely. A page that is read-only, that has other
// names (hard links, which would stay as they are) or whose owner this run
// cannot keep is refused, and so is one in a folder that cannot take the
// rewrite, or whose backup names would be too long: `backupPath`, and
// `otherBackupPath` of the other way, so that what can be protected in place
// can be restored in place too. Then what `source` produces (unless it
// refuses) is written to a temporary file beside the page, given the page's
// owner, permissions and extended attributes and flushed to disk; the page
// is kept at `backupPath` and the new page takes its place, each name
// changed in one step and the folder flushed after it. On any failure the
// page is as it was, and so is the older backup.
//
// The backup replaces an older one in one step, a link at the backup's name
// is replaced and not followed, and anything else there (a folder, a pipe, a
// device) is refused without being opened. A symbolic link at the page's
// name is followed and its target replaced. No temporary file outlives a
// failure, nor an exception out of `source`, and none ever holds the page
// as it was but in the moment between two renames.
Outcome RewritePage(FileSystem& files, const std::string& path, const std::string& backupPath,
                    const std::string& otherBackupPath, const PageSource& source);

// Writes a page's new form under an output folder, at `relative` (folders
// apart by "/"), making the folders on the way. Nothing on the way is
// followed if it is a link: a link at a folder's name is refused, one at the
// page's own name replaced. No backup is kept.
Outcome WriteOutput(FileSystem& files, Folder& output, const std::string& relative,
                    const PageSource& source);

}  // namespace kelvara
