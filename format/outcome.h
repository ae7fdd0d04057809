#pragma once

#include <string_view>

namespace kelvara {

// How an operation on a page ended: done (a step that went through), one of
// the two successes, or the reason the page was refused and left as it was.
enum class OutcomeCode : unsigned char {
  Done,
  Protected,
  Restored,
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
  NameTooLong,
  NoMemory,
  BackupFailed,
  WriteFailed,
};

class Outcome {
 public:
  constexpr Outcome(OutcomeCode code = OutcomeCode::Done) : code_(code) {}

  constexpr OutcomeCode Code() const { return code_; }
  constexpr bool Refused() const {
    return code_ != OutcomeCode::Done && code_ != OutcomeCode::Protected &&
           code_ != OutcomeCode::Restored;
  }
  // The text that both programs show for it; empty for a step that is done.
  std::string_view Text() const;

  friend constexpr bool operator==(Outcome, Outcome) = default;

 private:
  OutcomeCode code_;
};

}  // namespace kelvara
