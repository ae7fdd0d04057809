// Protects a page the way kelvara-cli does, for comparing with the desktop
// program where kelvara-cli is not built. The password is the first line of
// standard input.
#include <iostream>
#include <string>

#include "cipher/page_cipher.h"
#include "protect/protect_page.h"
#include "scan/tag_scanner.h"
#include "text/real_file_system.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: kelvara_e2e_protect PAGE < password\n";
    return 2;
  }
  std::string password;
  std::getline(std::cin, password);
  if (!password.empty() && password.back() == '\r') password.pop_back();
  kelvara::RealFileSystem files;
  kelvara::TagScanner scanner(files);
  const std::string reason =
      kelvara::ProtectPage(argv[1], kelvara::PageCipher(password), scanner, files);
  std::cout << argv[1] << ": " << (reason.empty() ? std::string(kelvara::kProtectedText) : reason)
            << "\n";
  return reason.empty() ? 0 : 1;
}
