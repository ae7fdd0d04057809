#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace kelvara {

// How an operation ended: done (a step that went through), one of the two
// successes, or the reason it was refused and nothing was changed.
enum class OutcomeCode : unsigned char {
  Done,
  Protected,
  Restored,
  // A page refused by the core.
  HeadMissing,
  BodyMissing,
  HeadMalformed,
  AlreadyProtected,
  NotProtected,
  PageDamaged,
  WrongPassword,
  EmptyPassword,
  PageUnreadable,
  PageReadOnly,
  PageBusy,
  PageHasOtherNames,
  PageOtherOwner,
  AccessNotKept,
  FolderNotWritable,
  DiskFull,
  NameTooLong,
  NoMemory,
  BackupFailed,
  WriteFailed,
  OutputFolderFailed,
  // Said by a front end in its own words, which it gives: a page or a path
  // that it refused, or a usage error, which changes nothing at all.
  Refused,
  Usage,
};

class Outcome {
 public:
  Outcome(OutcomeCode code = OutcomeCode::Done) : code_(code) {}
  // An outcome in words of its own: those of a front end, or a core text
  // with what it concerns.
  Outcome(OutcomeCode code, std::string text) : code_(code), text_(std::move(text)) {}

  OutcomeCode Code() const { return code_; }
  bool Refused() const {
    return code_ != OutcomeCode::Done && code_ != OutcomeCode::Protected &&
           code_ != OutcomeCode::Restored;
  }
  // The text that the programs show for it; empty for a step that is done.
  std::string_view Text() const;

  friend bool operator==(const Outcome&, const Outcome&) = default;

 private:
  OutcomeCode code_;
  std::string text_;
};

}  // namespace kelvara
