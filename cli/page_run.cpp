#include "cli/page_run.h"

#include "protect/protect_page.h"
#include "restore/restore_page.h"

#include <new>

namespace kelvara::cli {

Outcome RunPage(const std::string& path, Mode mode, const PageCipher& cipher,
                TagScanner& scanner, FileSystem& files, RandomSource& random,
                const std::string& output) {
  bool isProtected = false;
  try {
    isProtected = IsProtectedPage(scanner, path);
  } catch (const std::bad_alloc&) {
    return OutcomeCode::NoMemory;
  }
  if (mode == Mode::kProtect && isProtected) return OutcomeCode::AlreadyProtected;
  if (mode == Mode::kRestore && !isProtected) return OutcomeCode::NotProtected;
  return isProtected ? RestorePage(path, cipher, files, output)
                     : ProtectPage(path, cipher, scanner, files, random, output);
}

}  // namespace kelvara::cli
