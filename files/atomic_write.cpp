#include "files/atomic_write.h"

#include <algorithm>

namespace kelvara {

void PageSink::Write(std::string_view bytes) {
  if (file_ == nullptr) {
    buffer_.append(bytes);
    return;
  }
  Flush();
  for (std::size_t at = 0; !failed_ && at < bytes.size(); at += kSlice) {
    failed_ = !file_->Write(bytes.substr(at, std::min(kSlice, bytes.size() - at)));
  }
}

bool PageSink::Flush() {
  if (file_ != nullptr && !buffer_.empty()) {
    // After a failure the rest is dropped unwritten: the page is lost anyway.
    if (!failed_) failed_ = !file_->Write(buffer_);
    buffer_.clear();
  }
  return !failed_;
}

bool WriteFileAtomically(FileSystem& files, const std::string& path, const PageSource& source) {
  const std::string target = files.ResolveLink(path);
  const std::string temp = target + std::string(kTempSuffix);
  std::unique_ptr<OutputFile> out = files.Create(temp);
  if (!out) return false;
  PageSink sink(out.get());
  source(sink);
  bool ok = sink.Flush() && out->Sync();
  ok = out->Close() && ok;
  ok = ok && files.Replace(temp, target);
  if (!ok) files.Remove(temp);
  return ok;
}

bool WriteFileAtomically(FileSystem& files, const std::string& path, std::string_view bytes) {
  return WriteFileAtomically(files, path, [bytes](PageSink& sink) { sink.Write(bytes); });
}

Outcome RewritePage(FileSystem& files, const std::string& path, const std::string& backupPath,
                    const PageSource& source) {
  if (files.IsReadOnly(path)) return OutcomeCode::WriteFailed;
  if (!files.Copy(path, backupPath)) return OutcomeCode::BackupFailed;
  if (!WriteFileAtomically(files, path, source)) return OutcomeCode::WriteFailed;
  return OutcomeCode::Done;
}

Outcome RewritePage(FileSystem& files, const std::string& path, const std::string& backupPath,
                    std::string_view bytes) {
  return RewritePage(files, path, backupPath, [bytes](PageSink& sink) { sink.Write(bytes); });
}

}  // namespace kelvara
