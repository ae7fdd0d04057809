// Arbitrary page bytes and passwords (an input's first line is the password,
// the rest the page), restored as they are, and protected and restored
// again, held to the reference reading of the page format.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "testing/reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t lineEnd = std::min(bytes.find('\n'), size);
  const std::string password = bytes.substr(0, lineEnd);
  const std::string page = bytes.substr(std::min(lineEnd + 1, size));
  const std::string fault = kelvara::reference::RestoreFault(password, page) +
                            kelvara::reference::RoundTripFault(password, page);
  if (fault.empty()) return 0;
  std::fprintf(stderr, "\n==== fuzz check failed: %s\n", fault.c_str());
  std::abort();  // libFuzzer keeps the input that got here
}
