#include "files/atomic_write.h"

#include <algorithm>

namespace kelvara {
namespace {

// A temporary file that is removed unless it was put in its place, also when
// an exception (running out of memory) leaves the write half done.
class Temporary {
 public:
  explicit Temporary(FileSystem& files) : files_(files) {}
  ~Temporary() {
    if (!name_.empty()) files_.Remove(name_);
  }
  std::string& Name() { return name_; }
  void Kept() { name_.clear(); }

 private:
  FileSystem& files_;
  std::string name_;
};

Outcome TooLongOr(FileStatus status, OutcomeCode otherwise) {
  return status == FileStatus::NameTooLong ? OutcomeCode::NameTooLong : otherwise;
}

// The backup as a copy of the page's bytes, for file systems without hard links.
Outcome CopyToTemporary(FileSystem& files, const std::string& page, const std::string& backupPath,
                        Temporary& temp) {
  const std::unique_ptr<FileBytes> bytes = files.Read(page);
  if (!bytes) return OutcomeCode::BackupFailed;
  FileStatus status = FileStatus::Ok;
  const std::unique_ptr<OutputFile> out = files.CreateTemporary(backupPath, temp.Name(), status);
  if (!out) return TooLongOr(status, OutcomeCode::BackupFailed);
  PageSink sink(out.get());
  sink.Write(bytes->View());
  bool ok = sink.Flush() && out->Sync();
  ok = out->Close() && ok;
  if (!ok || !files.CopyAttributes(page, temp.Name())) return OutcomeCode::BackupFailed;
  return OutcomeCode::Done;
}

// Writes the new page to a temporary file beside `target` and flushes it;
// on failure the temporary file is gone.
Outcome WriteTemporary(FileSystem& files, const std::string& target, const PageSource& source,
                       Temporary& temp) {
  FileStatus status = FileStatus::Ok;
  std::unique_ptr<OutputFile> out = files.CreateTemporary(target, temp.Name(), status);
  if (!out) return TooLongOr(status, OutcomeCode::WriteFailed);
  PageSink sink(out.get());
  if (const Outcome made = source(sink); made.Refused()) return made;
  bool ok = sink.Flush() && out->Sync();
  ok = out->Close() && ok;
  return ok ? OutcomeCode::Done : OutcomeCode::WriteFailed;
}

Outcome PutInPlace(FileSystem& files, Temporary& temp, const std::string& target) {
  const FileStatus status = files.Replace(temp.Name(), target);
  if (status != FileStatus::Ok) return TooLongOr(status, OutcomeCode::WriteFailed);
  temp.Kept();
  return OutcomeCode::Done;
}

// The page as it is now under the backup's name, in place of an older backup.
Outcome KeepBackup(FileSystem& files, const std::string& page, const std::string& backupPath) {
  if (!files.Replaceable(backupPath)) return OutcomeCode::BackupFailed;
  const std::string target = files.ResolveLink(page);
  Temporary temp(files);
  // A second name for the page's file costs nothing and is as whole as the
  // page is; the page itself gets a new file when it is replaced.
  if (files.LinkTemporary(target, backupPath, temp.Name()) != FileStatus::Ok) {
    temp.Name().clear();
    if (const Outcome copied = CopyToTemporary(files, target, backupPath, temp); copied.Refused()) {
      return copied;
    }
  }
  const FileStatus status = files.Rename(temp.Name(), backupPath);
  if (status != FileStatus::Ok) return TooLongOr(status, OutcomeCode::BackupFailed);
  temp.Kept();
  return OutcomeCode::Done;
}

}  // namespace

void PageSink::Write(std::string_view bytes) {
  Flush();
  for (std::size_t at = 0; !failed_ && at < bytes.size(); at += kSlice) {
    failed_ = !file_->Write(bytes.substr(at, std::min(kSlice, bytes.size() - at)));
  }
}

bool PageSink::Flush() {
  if (!buffer_.empty()) {
    // After a failure the rest is dropped unwritten: the page is lost anyway.
    if (!failed_) failed_ = !file_->Write(buffer_);
    buffer_.clear();
  }
  return !failed_;
}

Outcome LockPage(FileSystem& files, const std::string& path, std::unique_ptr<FileLock>& lock) {
  switch (files.Lock(path, lock)) {
    case FileStatus::Ok: return OutcomeCode::Done;
    case FileStatus::Busy: return OutcomeCode::PageBusy;
    default: return OutcomeCode::PageUnreadable;
  }
}

Outcome RewritePage(FileSystem& files, const std::string& path, const std::string& backupPath,
                    const PageSource& source) {
  if (files.IsReadOnly(path)) return OutcomeCode::PageReadOnly;
  // The new page is written and flushed before the backup is touched, so
  // that a full disk or a failed write leaves the older backup as it was.
  const std::string target = files.ResolveLink(path);
  Temporary temp(files);
  if (const Outcome written = WriteTemporary(files, target, source, temp); written.Refused()) {
    return written;
  }
  if (!backupPath.empty()) {
    if (const Outcome kept = KeepBackup(files, path, backupPath); kept.Refused()) return kept;
  }
  return PutInPlace(files, temp, target);
}

}  // namespace kelvara
