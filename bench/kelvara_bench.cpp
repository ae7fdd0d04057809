// Throughput of the core on a 10 MiB page. Each benchmark that works through
// the whole page reports its bytes, so the output shows the rate per second.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

#include "bench/bench_pages.h"
#include "cipher/page_cipher.h"
#include "files/real_file_system.h"
#include "format/deflate.h"
#include "page/run_page.h"
#include "protect/protect_page.h"
#include "restore/restore_page.h"
#include "scan/tag_scanner.h"
#include "testing/fixed_random.h"
#include "testing/memory_file_system.h"
#include "testing/outcome_text.h"

namespace kelvara::bench {
namespace {

constexpr std::size_t kPageBytes = std::size_t{10} << 20;
constexpr std::string_view kPassword = "correct horse battery";
constexpr const char* kPageName = "page.htm";

const std::string& LargePage() {
  static const std::string page = GeneratePage(kPageBytes, 1);
  return page;
}

// Every byte value, so that the cipher's wrap-around is part of what is timed.
const std::string& RandomBytes() {
  static const std::string bytes = [] {
    std::string text(kPageBytes, '\0');
    std::mt19937 random(7);
    for (char& c : text) c = static_cast<char>(random() & 0xFF);
    return text;
  }();
  return bytes;
}

// A folder of its own under the system's temporary folder, gone afterwards.
class ScratchFolder {
 public:
  ScratchFolder() {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::random_device seed;
    for (int attempt = 0; attempt < 100; ++attempt) {
      path_ = base / ("kelvara-bench-" + std::to_string(seed()));
      std::error_code error;
      if (std::filesystem::create_directory(path_, error)) return;
    }
    std::fprintf(stderr, "kelvara_bench: cannot make a folder in %s\n", base.string().c_str());
    std::exit(1);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string File(std::string_view name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

bool WriteWhole(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

// Puts the page a timed run starts from in place and removes the backup the
// last run left, without timing either: a first protection has no old
// backup to throw away, just as cp's copy goes to a new name.
bool ResetPage(benchmark::State& state, const std::string& path, std::string_view bytes,
               std::string_view backupSuffix) {
  state.PauseTiming();
  const bool written = WriteWhole(path, bytes);
  std::error_code ignored;
  std::filesystem::remove(path + std::string(backupSuffix), ignored);
  state.ResumeTiming();
  return written;
}

void SetBytes(benchmark::State& state, std::size_t bytesPerIteration) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytesPerIteration));
}

// From the page's bytes, building its scan text as far as the element.
void BM_FindTag(benchmark::State& state, std::string_view tag) {
  for (auto _ : state) {
    TagScanner scanner(LargePage());
    if (!scanner.FindTag(tag, 1)) {
      state.SkipWithError("tag not found");
      break;
    }
    benchmark::DoNotOptimize(scanner.TagContent().data());
  }
  SetBytes(state, LargePage().size());
}
BENCHMARK_CAPTURE(BM_FindTag, title, "title")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindTag, head, "head")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindTag, body, "body")->Unit(benchmark::kMillisecond);

void BM_EncodeHex(benchmark::State& state) {
  const PageCipher cipher{std::string(kPassword)};
  const std::string& plain = RandomBytes();
  for (auto _ : state) {
    std::string hex;
    cipher.EncodeHex(hex, plain);
    benchmark::DoNotOptimize(hex.data());
  }
  SetBytes(state, plain.size());
}
BENCHMARK(BM_EncodeHex)->Unit(benchmark::kMillisecond);

// Counted in plain bytes, like EncodeHex: the hex text read is twice as long.
void BM_DecodeHex(benchmark::State& state) {
  const PageCipher cipher{std::string(kPassword)};
  std::string hex;
  cipher.EncodeHex(hex, RandomBytes());
  std::string plain;
  for (auto _ : state) {
    plain.clear();
    cipher.DecodeHex(plain, hex);
    benchmark::DoNotOptimize(plain.data());
  }
  if (plain != RandomBytes()) state.SkipWithError("DecodeHex did not give the text back");
  SetBytes(state, RandomBytes().size());
}
BENCHMARK(BM_DecodeHex)->Unit(benchmark::kMillisecond);

// A file that lets every byte go: the page's new text is made and handed
// over in slices as for a real file, and nothing else is timed.
class DiscardedFile final : public OutputFile {
 public:
  FileStatus Write(std::string_view bytes) override {
    benchmark::DoNotOptimize(bytes.data());
    return FileStatus::Ok;
  }
  FileStatus Sync() override { return FileStatus::Ok; }
  FileStatus Close() override { return FileStatus::Ok; }
};

// Without files, to tell the work on the text from the work of the disk:
// extraction from the page in memory, enciphering and the page's new text.
void BM_ProtectPageInMemory(benchmark::State& state) {
  const std::string& page = LargePage();
  const PageCipher cipher{std::string(kPassword)};
  for (auto _ : state) {
    PageParts parts;
    const std::string reason = Said(ExtractPage(page, kPageName, parts));
    if (!reason.empty()) {
      state.SkipWithError(reason.c_str());
      break;
    }
    DiscardedFile file;
    PageSink sink(&file);
    WriteProtectedPage(Deflate(page), parts, cipher, TestRandom().Bytes(16), sink);
    sink.Flush();
  }
  SetBytes(state, page.size());
}
BENCHMARK(BM_ProtectPageInMemory)->Unit(benchmark::kMillisecond);

// On real files: reading, the backup copy, writing the temporary file,
// flushing it to disk and the replace (ResetPage says what is not timed).
void BM_ProtectPage(benchmark::State& state) {
  const std::string& page = LargePage();
  ScratchFolder folder;
  const std::string path = folder.File(kPageName);
  RealFileSystem files;
  const PageCipher cipher{std::string(kPassword)};
  for (auto _ : state) {
    if (!ResetPage(state, path, page, kOriginalSuffix)) {
      state.SkipWithError("cannot write the plain page");
      break;
    }
    const std::string reason = Said(RunPage({path, Mode::Protect}, cipher, files, TestRandom()));
    if (!reason.empty()) {
      state.SkipWithError(reason.c_str());
      break;
    }
  }
  SetBytes(state, page.size());
}
BENCHMARK(BM_ProtectPage)->Unit(benchmark::kMillisecond)->UseRealTime();

// Counted in bytes of the protected page, which is about twice the plain one.
void BM_RestorePage(benchmark::State& state) {
  ScratchFolder folder;
  const std::string path = folder.File(kPageName);
  RealFileSystem files;
  const PageCipher cipher{std::string(kPassword)};
  std::string protectedPage;
  {
    const std::unique_ptr<FileBytes> bytes =
        WriteWhole(path, LargePage()) &&
                Said(RunPage({path, Mode::Protect}, cipher, files, TestRandom())).empty()
            ? files.Read(path)
            : nullptr;
    if (!bytes) {
      state.SkipWithError("cannot make the protected page");
      return;
    }
    protectedPage = bytes->View();
  }
  for (auto _ : state) {
    if (!ResetPage(state, path, protectedPage, kProtectedSuffix)) {
      state.SkipWithError("cannot write the protected page");
      break;
    }
    const std::string reason = Said(RunPage({path, Mode::Restore}, cipher, files, TestRandom()));
    if (!reason.empty()) {
      state.SkipWithError(reason.c_str());
      break;
    }
  }
  SetBytes(state, protectedPage.size());
}
BENCHMARK(BM_RestorePage)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RestorePageInMemory(benchmark::State& state) {
  const PageCipher cipher{std::string(kPassword)};
  MemoryFileSystem files;
  files.files[kPageName] = LargePage();
  if (!Said(RunPage({kPageName, Mode::Protect}, cipher, files, TestRandom())).empty()) {
    state.SkipWithError("cannot make the protected page");
    return;
  }
  const std::string protectedPage = files.files.at(kPageName);
  for (auto _ : state) {
    ProtectedReading reading;
    std::string reason = Said(ReadProtectedPage(protectedPage, cipher, reading));
    DiscardedFile file;
    PageSink sink(&file);
    if (reason.empty()) reason = Said(WritePlainPage(reading, cipher, sink));
    if (!reason.empty()) {
      state.SkipWithError(reason.c_str());
      break;
    }
    sink.Flush();
  }
  SetBytes(state, protectedPage.size());
}
BENCHMARK(BM_RestorePageInMemory)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvara::bench

BENCHMARK_MAIN();
