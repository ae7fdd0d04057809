#pragma once

#include <string>

#include "cipher/page_cipher.h"
#include "cipher/sha256.h"
#include "cipher/strong_keys.h"
#include "files/file_system.h"
#include "format/outcome.h"

namespace kelvara {

// Which way a run may take a page: as its title says, or only one way, the
// other kind of page being refused untouched.
enum class Mode { Auto, Protect, Restore };

struct PageRun {
  std::string path;
  Mode mode = Mode::Auto;
  // Where the page is written instead of in place, with no backups and the
  // page itself left alone: under this folder, at `relative` (folders apart
  // by "/"). None for in place.
  Folder* output = nullptr;
  std::string relative = {};
};

// What a run protects and opens pages with.
struct PageKeys {
  // Only the default form's key: a run that knows nothing of the strong form.
  PageKeys(const PageCipher& pageCipher) : cipher(&pageCipher) {}
  PageKeys(const PageCipher* pageCipher, StrongKeys* strongKeys)
      : cipher(pageCipher), strong(strongKeys) {}

  // The default form's key. None when the password holds a character that
  // Windows-1252 lacks: no page of that form can have been protected with it.
  const PageCipher* cipher = nullptr;
  // Opens pages of the strong form, and protects pages in it when it holds
  // keys to protect with.
  StrongKeys* strong = nullptr;
};

// The one way through the core for a page. It locks the page, reads it once,
// decides from those bytes whether it is to be protected or restored (a page
// titled exactly "Kelvara" is restored, any other protected), and rewrites it
// in place, keeping the old page as a backup beside it, or writes it to the
// output. A refused page is left as it was.
Outcome RunPage(const PageRun& run, const PageKeys& keys, FileSystem& files, RandomSource& random);

}  // namespace kelvara
