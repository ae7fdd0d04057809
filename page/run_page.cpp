#include "page/run_page.h"

#include <future>
#include <new>

#include "files/atomic_write.h"
#include "format/deflate.h"
#include "format/protected_format.h"
#include "protect/protect_page.h"
#include "restore/restore_page.h"
#include "scan/tag_scanner.h"

namespace kelvara {
namespace {

// The page's new form goes to the output, or in place of the page, the page
// as it was being kept beside it under its name and `backupSuffix`.
Outcome Rewrite(const PageRun& run, std::string_view backupSuffix, std::string_view otherSuffix,
                FileSystem& files, const PageSource& source) {
  if (run.output != nullptr) return WriteOutput(files, *run.output, run.relative, source);
  return RewritePage(files, run.path, run.path + std::string(backupSuffix),
                     run.path + std::string(otherSuffix), source);
}

Outcome Protect(const PageRun& run, std::string_view page, const PageKeys& keys, FileSystem& files,
                RandomSource& random) {
  if (keys.strong != nullptr && keys.strong->Protects()) {
    const Outcome written =
        Rewrite(run, kOriginalSuffix, kProtectedSuffix, files, [&](PageSink& sink) {
          WriteStrongPage(page, *keys.strong, random, sink);
          return Outcome(OutcomeCode::Done);
        });
    return written.Refused() ? written : OutcomeCode::Protected;
  }
  // A key that enciphers nothing would send the page out readable by anyone.
  if (keys.cipher == nullptr || keys.cipher->EnciphersNothing()) return OutcomeCode::EmptyPassword;
  const PageCipher& cipher = *keys.cipher;
  // Deflating the whole page takes about as long as all the rest together:
  // it goes on beside the extraction.
  std::future<std::string> deflated =
      std::async(std::launch::async | std::launch::deferred, [page] { return Deflate(page); });
  PageParts parts;
  if (const Outcome extracted = ExtractPage(page, run.path, parts); extracted.Refused()) {
    return extracted;
  }
  const std::string salt = random.Bytes(protected_format::kSaltSize);
  const Outcome written =
      Rewrite(run, kOriginalSuffix, kProtectedSuffix, files, [&](PageSink& sink) {
        WriteProtectedPage(deflated.get(), parts, cipher, salt, sink);
        return Outcome(OutcomeCode::Done);
      });
  return written.Refused() ? written : OutcomeCode::Protected;
}

Outcome Restore(const PageRun& run, std::string_view page, const PageKeys& keys,
                FileSystem& files) {
  if (IsStrongPage(page)) {
    std::string stream;
    const Outcome read = keys.strong == nullptr ? Outcome(OutcomeCode::WrongPassword)
                                                : ReadStrongPage(page, *keys.strong, stream);
    if (read.Refused()) return read;
    const Outcome written = Rewrite(run, kProtectedSuffix, kOriginalSuffix, files,
                                    [&](PageSink& sink) { return WriteInflated(stream, sink); });
    return written.Refused() ? written : OutcomeCode::Restored;
  }
  if (keys.cipher == nullptr) return OutcomeCode::WrongPassword;
  const PageCipher& cipher = *keys.cipher;
  ProtectedReading reading;
  if (const Outcome read = ParseProtectedPage(page, cipher, reading); read.Refused()) {
    return read == OutcomeCode::WrongPassword && !SealHolds(reading) ? OutcomeCode::PageDamaged
                                                                     : read;
  }
  // The seal hashes most of the page: it is checked while the page is
  // written, and a page whose seal does not hold never takes its place.
  std::future<bool> sealHolds = std::async(std::launch::async | std::launch::deferred,
                                           [&reading] { return SealHolds(reading); });
  const Outcome written =
      Rewrite(run, kProtectedSuffix, kOriginalSuffix, files, [&](PageSink& sink) {
        const Outcome plain = WritePlainPage(reading, cipher, sink);
        return sealHolds.get() ? plain : OutcomeCode::PageDamaged;
      });
  return written.Refused() ? written : OutcomeCode::Restored;
}

}  // namespace

Outcome RunPage(const PageRun& run, const PageKeys& keys, FileSystem& files, RandomSource& random) {
  try {
    std::unique_ptr<FileLock> lock;
    if (const Outcome locked = LockPage(files, run.path, lock); locked.Refused()) return locked;
    const std::unique_ptr<FileBytes> bytes = files.Read(run.path);
    if (!bytes) return OutcomeCode::PageUnreadable;
    // Decided under the lock, from the bytes that will be rewritten: another
    // run may have protected or restored the page since the caller looked.
    const std::string_view page = bytes->View();
    const bool restoring = IsProtected(page);
    if (run.mode == Mode::Protect && restoring) return OutcomeCode::AlreadyProtected;
    if (run.mode == Mode::Restore && !restoring) return OutcomeCode::NotProtected;
    return restoring ? Restore(run, page, keys, files) : Protect(run, page, keys, files, random);
  } catch (const std::bad_alloc&) {
    return OutcomeCode::NoMemory;
  }
}

}  // namespace kelvara
