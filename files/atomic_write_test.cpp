#include "files/atomic_write.h"

#include <gtest/gtest.h>

#include "testing/memory_file_system.h"
#include "testing/outcome_text.h"

namespace kelvara {
namespace {

constexpr char kPage[] = "site/index.htm";
constexpr char kTemp[] = "site/index.htm.kelvara-tmp";
constexpr char kBackup[] = "site/index.htm.original";

class PageFileTest : public ::testing::Test {
 protected:
  void SetUp() override { files.files[kPage] = "old page"; }
  void FailOn(FileOp op) {
    files.failWhen = [op](FileOp current, const std::string&) { return current == op; };
  }
  MemoryFileSystem files;
};

TEST_F(PageFileTest, ReplacesThePageThroughATemporaryFile) {
  ASSERT_TRUE(WriteFileAtomically(files, kPage, "new page"));
  EXPECT_EQ(files.files.at(kPage), "new page");
  EXPECT_FALSE(files.files.contains(kTemp));
  EXPECT_EQ(files.Count(FileOp::kCreate, kTemp), 1);
  EXPECT_EQ(files.Count(FileOp::kSync, kTemp), 1);
  EXPECT_EQ(files.Count(FileOp::kReplace, kPage), 1);
}

TEST_F(PageFileTest, WritesLargePagesInSlices) {
  const std::string big(9 << 20, 'x');
  ASSERT_TRUE(WriteFileAtomically(files, kPage, big));
  EXPECT_EQ(files.files.at(kPage), big);
  EXPECT_GE(files.Count(FileOp::kWrite, kTemp), 3);
}

TEST_F(PageFileTest, OverwritesAnOldTemporaryFile) {
  files.files[kTemp] = "leftover from a crash";
  ASSERT_TRUE(WriteFileAtomically(files, kPage, "new"));
  EXPECT_EQ(files.files.at(kPage), "new");
  EXPECT_FALSE(files.files.contains(kTemp));
}

TEST_F(PageFileTest, ReplacesTheTargetOfALink) {
  files.files.erase(kPage);
  files.files["real/index.htm"] = "old";
  files.links[kPage] = "real/index.htm";
  ASSERT_TRUE(WriteFileAtomically(files, kPage, "new"));
  EXPECT_EQ(files.files.at("real/index.htm"), "new");
  EXPECT_EQ(files.links.at(kPage), "real/index.htm");
  EXPECT_EQ(files.Count(FileOp::kCreate, "real/index.htm.kelvara-tmp"), 1);
}

class AtomicWriteFailure : public PageFileTest, public ::testing::WithParamInterface<FileOp> {};

TEST_P(AtomicWriteFailure, LeavesThePageAndNoTemporaryFile) {
  FailOn(GetParam());
  EXPECT_EQ(Said(RewritePage(files, kPage, kBackup, std::string(3 << 20, 'n'))), kWriteFailed);
  EXPECT_EQ(files.files.at(kPage), "old page");
  EXPECT_FALSE(files.files.contains(kTemp));
}

std::string StepName(const ::testing::TestParamInfo<FileOp>& step) {
  constexpr const char* kNames[] = {"Create", "Write", "Sync", "Close", "Replace"};
  return kNames[step.index];
}

INSTANTIATE_TEST_SUITE_P(EachStep, AtomicWriteFailure,
                         ::testing::Values(FileOp::kCreate, FileOp::kWrite, FileOp::kSync,
                                           FileOp::kClose, FileOp::kReplace),
                         StepName);

TEST_F(PageFileTest, RewriteKeepsABackupOfTheOldPage) {
  files.files[kBackup] = "older backup";
  EXPECT_EQ(Said(RewritePage(files, kPage, kBackup, "new page")), "");
  EXPECT_EQ(files.files.at(kPage), "new page");
  EXPECT_EQ(files.files.at(kBackup), "old page");
}

TEST_F(PageFileTest, RewriteRefusesAReadOnlyPageBeforeTheBackup) {
  files.readOnly.insert(kPage);
  EXPECT_EQ(Said(RewritePage(files, kPage, kBackup, "new page")), kWriteFailed);
  EXPECT_EQ(files.files.at(kPage), "old page");
  EXPECT_FALSE(files.files.contains(kBackup));
}

TEST_F(PageFileTest, RewriteStopsWhenTheBackupFails) {
  FailOn(FileOp::kCopy);
  EXPECT_EQ(Said(RewritePage(files, kPage, kBackup, "new page")), kBackupFailed);
  EXPECT_EQ(files.files.at(kPage), "old page");
  EXPECT_EQ(files.Count(FileOp::kCreate, kTemp), 0);
}

}  // namespace
}  // namespace kelvara
