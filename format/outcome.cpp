#include "format/outcome.h"

#include "format/texts.h"

namespace kelvara {

std::string_view Outcome::Text() const {
  if (!text_.empty()) return text_;
  switch (code_) {
    case OutcomeCode::Done:
      return {};
    case OutcomeCode::Protected:
      return kProtectedText;
    case OutcomeCode::Restored:
      return kRestoredText;
    case OutcomeCode::HeadMissing:
      return kHeadMissing;
    case OutcomeCode::BodyMissing:
      return kBodyMissing;
    case OutcomeCode::HeadMalformed:
      return kHeadMalformed;
    case OutcomeCode::AlreadyProtected:
      return kAlreadyProtected;
    case OutcomeCode::NotProtected:
      return kNotProtected;
    case OutcomeCode::PageDamaged:
      return kPageDamaged;
    case OutcomeCode::WrongPassword:
      return kWrongPassword;
    case OutcomeCode::EmptyPassword:
      return kEmptyPassword;
    case OutcomeCode::PageUnreadable:
      return kPageUnreadable;
    case OutcomeCode::PageReadOnly:
      return kPageReadOnly;
    case OutcomeCode::PageBusy:
      return kPageBusy;
    case OutcomeCode::PageHasOtherNames:
      return kPageHasOtherNames;
    case OutcomeCode::PageOtherOwner:
      return kPageOtherOwner;
    case OutcomeCode::AccessNotKept:
      return kAccessNotKept;
    case OutcomeCode::FolderNotWritable:
      return kFolderNotWritable;
    case OutcomeCode::DiskFull:
      return kDiskFull;
    case OutcomeCode::NameTooLong:
      return kNameTooLong;
    case OutcomeCode::NoMemory:
      return kNoMemory;
    case OutcomeCode::BackupFailed:
      return kBackupFailed;
    case OutcomeCode::WriteFailed:
      return kWriteFailed;
    case OutcomeCode::OutputFolderFailed:
      return kOutputFolderFailed;
    case OutcomeCode::Refused:
    case OutcomeCode::Usage:
      return {};
  }
  return {};
}

}  // namespace kelvara
