// Writes the made-up pages that scripts/bench.sh times the command-line tool on.
//
//   kelvara_bench_pages page FILE BYTES         one page of at least BYTES bytes
//   kelvara_bench_pages folder FOLDER COUNT BYTES   COUNT pages page-N.htm in FOLDER
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "bench/bench_pages.h"

namespace {

bool WritePage(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (out.flush()) return true;
  std::fprintf(stderr, "kelvara_bench_pages: cannot write %s\n", path.c_str());
  return false;
}

// A positive count, or 0 when the text is not one.
unsigned long Count(const char* text) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(text, &end, 10);
  return (end != text && *end == '\0') ? value : 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: kelvara_bench_pages page FILE BYTES\n"
               "       kelvara_bench_pages folder FOLDER COUNT BYTES\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using kelvara::bench::GeneratePage;
  const std::string_view what = argc > 1 ? argv[1] : "";
  if (what == "page" && argc == 4 && Count(argv[3]) > 0) {
    return WritePage(argv[2], GeneratePage(Count(argv[3]), 1)) ? 0 : 1;
  }
  if (what == "folder" && argc == 5 && Count(argv[3]) > 0 && Count(argv[4]) > 0) {
    const unsigned long pages = Count(argv[3]);
    for (unsigned long n = 1; n <= pages; ++n) {
      const std::string path = std::string(argv[2]) + "/page-" + std::to_string(n) + ".htm";
      if (!WritePage(path, GeneratePage(Count(argv[4]), static_cast<std::uint32_t>(n)))) {
        return 1;
      }
    }
    return 0;
  }
  return Usage();
}
