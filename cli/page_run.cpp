#include "cli/page_run.h"

#include "protect/protect_page.h"
#include "restore/restore_page.h"

namespace kelvara::cli {

Outcome RunPage(const std::string& path, Mode mode, const PageCipher& cipher,
                    TagScanner& scanner, FileSystem& files, RandomSource& random) {
  // The cache is keyed by file name only, and restoring does not clear it.
  scanner.ForgetCache();
  const bool isProtected = IsProtectedPage(scanner, path);
  if (mode == Mode::kProtect && isProtected) return OutcomeCode::AlreadyProtected;
  if (mode == Mode::kRestore && !isProtected) return OutcomeCode::NotProtected;
  return isProtected ? RestorePage(path, cipher, files) : ProtectPage(path, cipher, scanner, files, random);
}

}  // namespace kelvara::cli
