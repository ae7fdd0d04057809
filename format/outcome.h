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
  // A page refused.
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
  OutputInsideSource,
  OutputFolderFailed,
  OutputIsSource,
  // What kelvara-cli's folder walk cannot reach.
  WalkFolderUnreadable,
  WalkEntryUnreadable,
  WalkPathTooLong,
  // kelvara-cli's usage errors: a path named that cannot be used, the
  // arguments, the password.
  NoSuchPath,
  NotPageOrFolder,
  PathUnreadable,
  PathTooLong,
  FolderUnreadable,
  UnknownOption,
  BothModes,
  OutputNeedsFolder,
  NoPath,
  NoPasswordOnInput,
  PasswordTooLong,
  NoTerminal,
  NoPasswordEntered,
  PasswordsDiffer,
  PasswordCharacter,
};

class Outcome {
 public:
  Outcome(OutcomeCode code = OutcomeCode::Done) : code_(code) {}
  // An outcome whose text names what it concerns (an option, a character);
  // `text` is built from the texts in format/texts.h.
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
