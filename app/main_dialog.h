#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/dialog_texts.h"
#include "format/texts.h"

// The main dialog as the run flow sees it: its controls, colours and texts,
// and the few things the worker does to it. The Win32 dialog implements
// MainDialog; tests drive the run flow through a recording fake.
namespace kelvara {

enum ControlId : int {
  ImageControl = 1001,
  PasswordField = 1002,
  ConfirmField = 1003,
  PromptLabel = 1004,
  MatchLabel = 1005,
};

struct Colour {
  std::uint8_t red;
  std::uint8_t green;
  std::uint8_t blue;
  friend bool operator==(const Colour&, const Colour&) = default;
};

inline constexpr Colour DialogBackground{241, 245, 248};
inline constexpr Colour Black{0, 0, 0};
inline constexpr Colour FailureRed{255, 0, 0};
inline constexpr Colour SuccessGreen{30, 180, 0};

std::string DialogCaption();

class MainDialog {
 public:
  virtual ~MainDialog() = default;
  virtual void SetControlText(ControlId control, std::string_view text) = 0;
  // Only recorded: the colours show at the next repaint.
  virtual void SetLabelColours(ControlId label, Colour text, Colour background) = 0;
  virtual void DisableControl(ControlId control) = 0;
  virtual void Repaint() = 0;
  // The Open dialog: the chosen page's full path, or empty when cancelled.
  virtual std::string ChooseFile() = 0;
};

}  // namespace kelvara
