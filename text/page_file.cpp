#include "text/page_file.h"

#include <algorithm>

namespace kelvara {
namespace {

// Large pages go out in slices, so that no single system call is huge.
constexpr std::size_t kWriteSlice = std::size_t{4} << 20;

}  // namespace

bool WriteFileAtomically(FileSystem& files, const std::string& path, std::string_view bytes) {
  const std::string target = files.ResolveLink(path);
  const std::string temp = target + std::string(kTempSuffix);
  std::unique_ptr<OutputFile> out = files.Create(temp);
  if (!out) return false;
  bool ok = true;
  for (std::size_t at = 0; ok && at < bytes.size(); at += kWriteSlice) {
    ok = out->Write(bytes.substr(at, std::min(kWriteSlice, bytes.size() - at)));
  }
  ok = ok && out->Sync();
  ok = out->Close() && ok;
  ok = ok && files.Replace(temp, target);
  if (!ok) files.Remove(temp);
  return ok;
}

std::string_view RewritePage(FileSystem& files, const std::string& path,
                             const std::string& backupPath, std::string_view bytes) {
  if (files.IsReadOnly(path)) return kWriteFailed;
  if (!files.Copy(path, backupPath)) return kBackupFailed;
  if (!WriteFileAtomically(files, path, bytes)) return kWriteFailed;
  return {};
}

}  // namespace kelvara
