#include "cli/page_run.h"

#include "protect/protect_page.h"
#include "restore/restore_page.h"

namespace kelvara::cli {

PageOutcome RunPage(const std::string& path, Mode mode, const PageCipher& cipher,
                    TagScanner& scanner, FileSystem& files) {
  // The cache is keyed by file name only, and restoring does not clear it.
  scanner.ForgetCache();
  const bool isProtected = IsProtectedPage(scanner, path);
  if (mode == Mode::kProtect && isProtected) return {false, std::string(kAlreadyProtected)};
  if (mode == Mode::kRestore && !isProtected) return {false, std::string(kNotProtected)};

  std::string reason =
      isProtected ? RestorePage(path, cipher, files) : ProtectPage(path, cipher, scanner, files);
  if (!reason.empty()) return {false, std::move(reason)};
  return {true, std::string(isProtected ? kRestoredText : kProtectedText)};
}

}  // namespace kelvara::cli
