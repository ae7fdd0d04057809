#include "files/atomic_write.h"

#include <gtest/gtest.h>

#include "testing/memory_file_system.h"
#include "testing/outcome_text.h"

namespace kelvara {
namespace {

constexpr char kPage[] = "site/index.htm";
constexpr char kBackup[] = "site/index.htm.original";

TEST(RewritePage, WhatTheBackupNameHoldsDecides) {
  struct Case {
    const char* holds;
    Outcome outcome;
  };
  for (const Case c : {Case{"nothing", OutcomeCode::Done}, Case{"file", OutcomeCode::Done},
                       Case{"link", OutcomeCode::Done}, Case{"pipe", OutcomeCode::BackupFailed},
                       Case{"folder", OutcomeCode::BackupFailed}}) {
    MemoryFileSystem files;
    files.files[kPage] = "old page";
    files.files["victim"] = "keep me";
    const std::string holds = c.holds;
    if (holds == "file") files.files[kBackup] = "older backup";
    if (holds == "link") files.links[kBackup] = "victim";
    if (holds == "pipe") files.others.insert(kBackup);
    if (holds == "folder") files.folders.insert(kBackup);
    EXPECT_EQ(RewritePage(files, kPage, kBackup, [](PageSink& sink) { sink.Write("new"); }),
              c.outcome)
        << holds;
    EXPECT_EQ(files.files.at("victim"), "keep me") << holds;
    EXPECT_EQ(files.files.at(kPage), c.outcome.Refused() ? "old page" : "new") << holds;
    if (!c.outcome.Refused()) {
      EXPECT_EQ(files.files.at(kBackup), "old page") << holds;
    }
  }
}

TEST(RewritePage, RefusesAReadOnlyPageBeforeAnythingIsWritten) {
  MemoryFileSystem files;
  files.files[kPage] = "old page";
  files.readOnly.insert(kPage);
  EXPECT_EQ(RewritePage(files, kPage, kBackup, [](PageSink& sink) { sink.Write("new"); }),
            OutcomeCode::PageReadOnly);
  EXPECT_EQ(files.files.size(), 1u);
}

}  // namespace
}  // namespace kelvara
