#include "files/atomic_write.h"

#include <algorithm>

namespace kelvara {
namespace {

// A temporary file that is removed unless it was put in its place, also when
// an exception (running out of memory) leaves the write half done.
class Temporary {
 public:
  Temporary(FileSystem& files, Folder& folder) : files_(files), folder_(folder) {}
  ~Temporary() {
    if (!name_.empty()) files_.Remove(folder_, name_);
  }
  std::string& Name() { return name_; }
  void Kept() { name_.clear(); }

 private:
  FileSystem& files_;
  Folder& folder_;
  std::string name_;
};

// The refusal that a failed file operation amounts to, where the way it
// failed says more than the step does.
Outcome Refusal(FileStatus status, OutcomeCode step) {
  switch (status) {
    case FileStatus::NameTooLong:
      return OutcomeCode::NameTooLong;
    case FileStatus::DiskFull:
      return OutcomeCode::DiskFull;
    case FileStatus::NotWritable:
      return OutcomeCode::FolderNotWritable;
    case FileStatus::NotPermitted:
      return OutcomeCode::AccessNotKept;
    default:
      return step;
  }
}

std::string_view NameIn(std::string_view path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view FolderPart(std::string_view path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

// Writes what `source` makes into a new temporary file in `to`, gives it
// the access of `like` in `likeFolder` and flushes it to disk. A failure is
// told as `failed` says, unless the source refused.
Outcome WriteTemporary(FileSystem& files, Folder& likeFolder, const std::string& like, Folder& to,
                       const PageSource& source, Temporary& temp,
                       OutcomeCode failed = OutcomeCode::WriteFailed) {
  FileStatus status = FileStatus::Ok;
  const std::unique_ptr<OutputFile> out = files.CreateTemporary(to, temp.Name(), status);
  if (!out) return Refusal(status, failed);
  PageSink sink(out.get());
  if (const Outcome made = source(sink); made.Refused()) return made;
  status = sink.Flush();
  if (status == FileStatus::Ok) status = files.CopyAccess(likeFolder, like, to, temp.Name());
  if (status == FileStatus::Ok) status = out->Sync();
  const FileStatus closed = out->Close();
  if (status == FileStatus::Ok) status = closed;
  return status == FileStatus::Ok ? OutcomeCode::Done : Refusal(status, failed);
}

// The page as it is, copied into a new temporary file in the backup's folder.
Outcome CopyPage(FileSystem& files, const std::string& page, Folder& folder,
                 const std::string& name, Folder& backupFolder, Temporary& copy) {
  const std::unique_ptr<FileBytes> bytes = files.Read(page);
  if (!bytes) return OutcomeCode::BackupFailed;
  const auto asItIs = [&](PageSink& sink) { return sink.Write(bytes->View()), Outcome(); };
  return WriteTemporary(files, folder, name, backupFolder, asItIs, copy, OutcomeCode::BackupFailed);
}

// The temporary file takes the page's name, and the page the backup's, in
// place of an older backup. Where the file system can swap two names, the
// page goes from its own name to the temporary one and on to the backup's:
// a second name for the page itself, which keeps everything it has, and no
// temporary file ever holds it for longer than one rename. Elsewhere the
// backup is a copy, made and renamed before the page is replaced.
Outcome KeepBackupAndReplace(FileSystem& files, const std::string& page, Folder& folder,
                             const std::string& name, Folder& backupFolder,
                             const std::string& backupName, Temporary& temp) {
  const FileStatus swapped = files.Exchange(folder, temp.Name(), name);
  if (swapped == FileStatus::Ok) {
    FileStatus kept = FileStatus::Failed;
    try {
      kept = files.Rename(folder, temp.Name(), backupFolder, backupName);
    } catch (...) {
      // The temporary name holds the page now: it goes back before the
      // temporary file is removed.
      files.Exchange(folder, temp.Name(), name);
      throw;
    }
    if (kept == FileStatus::Ok) {
      temp.Kept();
      return OutcomeCode::Done;
    }
    // The page goes back to its name. Should even that fail, the temporary
    // name holds the page, and is left rather than lost.
    if (files.Exchange(folder, temp.Name(), name) != FileStatus::Ok) {
      temp.Kept();
      return OutcomeCode::BackupFailed;
    }
    if (kept != FileStatus::Unsupported) return Refusal(kept, OutcomeCode::BackupFailed);
  } else if (swapped != FileStatus::Unsupported) {
    return Refusal(swapped, OutcomeCode::WriteFailed);
  }
  Temporary copy(files, backupFolder);
  if (const Outcome copied = CopyPage(files, page, folder, name, backupFolder, copy);
      copied.Refused()) {
    return copied;
  }
  const FileStatus kept = files.Rename(backupFolder, copy.Name(), backupFolder, backupName);
  if (kept != FileStatus::Ok) return Refusal(kept, OutcomeCode::BackupFailed);
  copy.Kept();
  const FileStatus replaced = files.Replace(folder, temp.Name(), name);
  if (replaced != FileStatus::Ok) return Refusal(replaced, OutcomeCode::WriteFailed);
  temp.Kept();
  return OutcomeCode::Done;
}

// So that renamed files outlast a power cut in the order they were made. By
// then the work is done: nothing that goes wrong here can undo it, so it is
// not told.
void FlushFolder(FileSystem& files, Folder* folder) noexcept {
  if (folder == nullptr) return;
  try {
    files.SyncFolder(*folder);
  } catch (...) {
  }
}

}  // namespace

void PageSink::Write(std::string_view bytes) {
  Flush();
  for (std::size_t at = 0; status_ == FileStatus::Ok && at < bytes.size(); at += kSlice) {
    status_ = file_->Write(bytes.substr(at, std::min(kSlice, bytes.size() - at)));
  }
}

FileStatus PageSink::Flush() {
  if (!buffer_.empty()) {
    // After a failure the rest is dropped unwritten: the page is lost anyway.
    if (status_ == FileStatus::Ok) status_ = file_->Write(buffer_);
    buffer_.clear();
  }
  return status_;
}

Outcome LockPage(FileSystem& files, const std::string& path, std::unique_ptr<FileLock>& lock) {
  switch (files.Lock(path, lock)) {
    case FileStatus::Ok:
      return OutcomeCode::Done;
    case FileStatus::Busy:
      return OutcomeCode::PageBusy;
    default:
      return OutcomeCode::PageUnreadable;
  }
}

Outcome RewritePage(FileSystem& files, const std::string& path, const std::string& backupPath,
                    const std::string& otherBackupPath, const PageSource& source) {
  const PageFacts facts = files.Facts(path);
  if (facts.readOnly) return OutcomeCode::PageReadOnly;
  if (facts.otherNames) return OutcomeCode::PageHasOtherNames;
  if (facts.otherOwner) return OutcomeCode::PageOtherOwner;

  const std::string target = files.ResolveLink(path);
  std::unique_ptr<Folder> folder;
  std::string name;
  if (const FileStatus opened = files.OpenFolderOf(target, folder, name);
      opened != FileStatus::Ok) {
    return Refusal(opened, OutcomeCode::WriteFailed);
  }
  // The backup lies beside the name the page was given, which a link may
  // have in another folder than the page's own.
  std::unique_ptr<Folder> otherFolder;
  std::string backupName;
  if (FolderPart(backupPath) != FolderPart(target)) {
    if (const FileStatus opened = files.OpenFolderOf(backupPath, otherFolder, backupName);
        opened != FileStatus::Ok) {
      return Refusal(opened, OutcomeCode::BackupFailed);
    }
  }
  Folder& backupFolder = otherFolder ? *otherFolder : *folder;
  backupName = NameIn(backupPath);
  const std::size_t limit = files.NameLimit(backupFolder);
  if (backupName.size() > limit || NameIn(otherBackupPath).size() > limit) {
    return OutcomeCode::NameTooLong;
  }
  for (Folder* each : {folder.get(), otherFolder.get()}) {
    if (each == nullptr) continue;
    if (const FileStatus writable = files.CheckWritable(*each); writable != FileStatus::Ok) {
      return Refusal(writable, OutcomeCode::WriteFailed);
    }
  }
  // A name too long as a whole path, where the system has such a limit, is
  // told as too long.
  if (const FileStatus free = files.Replaceable(backupFolder, backupName); free != FileStatus::Ok) {
    return Refusal(free, OutcomeCode::BackupFailed);
  }

  // The new page is written and flushed before the backup is touched, so
  // that a full disk or a failed write leaves the older backup as it was.
  Temporary temp(files, *folder);
  if (const Outcome written = WriteTemporary(files, *folder, name, *folder, source, temp);
      written.Refused()) {
    return written;
  }
  const Outcome done =
      KeepBackupAndReplace(files, target, *folder, name, backupFolder, backupName, temp);
  if (done.Refused()) return done;
  FlushFolder(files, folder.get());
  FlushFolder(files, otherFolder.get());
  return OutcomeCode::Done;
}

Outcome WriteOutput(FileSystem& files, Folder& output, const std::string& relative,
                    const PageSource& source) {
  Folder* folder = &output;
  std::unique_ptr<Folder> inner;
  std::string_view rest = relative;
  for (std::size_t slash = rest.find('/'); slash != std::string_view::npos;
       slash = rest.find('/')) {
    std::unique_ptr<Folder> next;
    if (files.OpenSubfolder(*folder, std::string(rest.substr(0, slash)), next) != FileStatus::Ok) {
      return OutcomeCode::OutputFolderFailed;
    }
    inner = std::move(next);
    folder = inner.get();
    rest.remove_prefix(slash + 1);
  }
  const std::string name(rest);
  if (const FileStatus free = files.Replaceable(*folder, name); free != FileStatus::Ok) {
    return Refusal(free, OutcomeCode::WriteFailed);
  }
  Temporary temp(files, *folder);
  if (const Outcome written = WriteTemporary(files, *folder, name, *folder, source, temp);
      written.Refused()) {
    return written;
  }
  const FileStatus renamed = files.Rename(*folder, temp.Name(), *folder, name);
  if (renamed != FileStatus::Ok) return Refusal(renamed, OutcomeCode::WriteFailed);
  temp.Kept();
  FlushFolder(files, folder);
  return OutcomeCode::Done;
}

}  // namespace kelvara
