// Test helper for the browser test: copies a plain page to a new path and
// protects the copy in place, through the same core calls and real files that
// the programs use. The password is the whole of standard input, byte for
// byte, so that a test can hand over any bytes (a key byte above 127, none at
// all) without a terminal or an encoding in between.
//
//   kelvara_protect_copy SOURCE DESTINATION < PASSWORD
//
// Prints the outcome text and exits 0 only when the page was protected.
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>
#include <utility>

#include <filesystem>

#include "cipher/page_cipher.h"
#include "cipher/sha256.h"
#include "files/real_file_system.h"
#include "protect/protect_page.h"
#include "scan/tag_scanner.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: kelvara_protect_copy SOURCE DESTINATION < PASSWORD\n");
    return 2;
  }
  const std::string source = argv[1];
  const std::string destination = argv[2];
  kelvara::RealFileSystem files;
  std::error_code error;
  if (!std::filesystem::copy_file(source, destination,
                                  std::filesystem::copy_options::overwrite_existing, error)) {
    std::fprintf(stderr, "kelvara_protect_copy: cannot copy %s to %s\n", source.c_str(),
                 destination.c_str());
    return 1;
  }
  std::string password{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
  const kelvara::PageCipher cipher(std::move(password));
  kelvara::TagScanner scanner(files);
  kelvara::SystemRandom random;
  const kelvara::Outcome outcome = kelvara::ProtectPage(destination, cipher, scanner, files, random);
  std::printf("%s: %.*s\n", destination.c_str(), static_cast<int>(outcome.Text().size()),
              outcome.Text().data());
  return outcome.Refused() ? 1 : 0;
}
