#include "page/run_page.h"

#include <gtest/gtest.h>

#include <random>

#include "testing/fixed_random.h"
#include "testing/memory_file_system.h"

namespace kelvara {
namespace {

const std::string kPlain =
    "<!DOCTYPE html>\r\n<html lang=en>\r\n<head>\r\n<title>Club news</title>\r\n"
    "<script>var theme = 'dark';</script>\r\n</head>\r\n<body>\r\n<!-- kept -->\r\n"
    "<p>Meeting on Friday at 19:30.</p>\r\n<p>Bring a friend &amp; a chair.</p>\r\n"
    "</body>\r\n</html>\r\n";

// Random runs of protecting and restoring one page in every mode, with the
// right password and near misses of it: after each run some file, the page or
// one of its backups, is still the author's page, or restores to it exactly
// with the right password.
TEST(NothingIsLost, WhateverTheUserTries) {
  const std::string passwords[] = {"rowing42", "rowing43", "Rowing42", "rowing4", "rowing42 "};
  std::mt19937 random(2026);
  for (int sequence = 0; sequence < 100; ++sequence) {
    MemoryFileSystem files;
    files.files["a.htm"] = kPlain;
    for (int step = 0; step < 10; ++step) {
      const auto mode = static_cast<Mode>(random() % 3);
      const std::string& password = passwords[random() % std::size(passwords)];
      RunPage({"a.htm", mode}, PageCipher(password), files, TestRandom());
      bool kept = false;
      for (const std::string path : {"a.htm", "a.htm.original", "a.htm.protected"}) {
        MemoryFileSystem copy = files;
        RunPage({path, Mode::Restore}, PageCipher(passwords[0]), copy, TestRandom());
        kept = kept || copy.files[path] == kPlain;
      }
      ASSERT_TRUE(kept) << "lost in sequence " << sequence << ", step " << step;
    }
  }
}

}  // namespace
}  // namespace kelvara
