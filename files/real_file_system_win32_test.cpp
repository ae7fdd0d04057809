#include <windows.h>

#include <gtest/gtest.h>

#include "files/real_file_system.h"
#include "page/run_page.h"
#include "testing/fixed_random.h"
#include "testing/outcome_text.h"
#include "testing/scratch_folder.h"

// What Windows adds: another program that holds a page open.
namespace kelvara {
namespace {

using Win32FileSystemTest = ScratchFolder;

// A page that another program holds open, without leave to delete or move
// it, or to write it, is busy: refused before anything is written, and
// nothing is left.
TEST_F(Win32FileSystemTest, APageHeldOpenElsewhereIsBusy) {
  RealFileSystem files;
  const std::string plain = "<html><head><title>T</title></head><body>x</body></html>";
  Put("page.htm", plain);
  for (const auto& [access, share] :
       {std::pair<DWORD, DWORD>{GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE},
        {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE}}) {
    const HANDLE held =
        CreateFileA(PathOf("page.htm").c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(RunPage({PathOf("page.htm")}, PageCipher("pw"), files, TestRandom()),
              OutcomeCode::PageBusy);
    CloseHandle(held);
  }
  EXPECT_TRUE(Get("page.htm") == plain && Temporaries() == 0);
  EXPECT_EQ(RunPage({PathOf("page.htm")}, PageCipher("pw"), files, TestRandom()),
            OutcomeCode::Protected);

  // A page whose backup's path would pass the system's limit on a whole path.
  const std::string deep = std::string(MAX_PATH - 11 - PathOf("").size(), 'd') + "\\p.htm";
  std::filesystem::create_directory(folder / deep.substr(0, deep.size() - 6));
  Put(deep, plain);
  EXPECT_EQ(RunPage({PathOf(deep)}, PageCipher("pw"), files, TestRandom()),
            OutcomeCode::NameTooLong);
  EXPECT_EQ(Get(deep), plain);
}

}  // namespace
}  // namespace kelvara
