#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "app/main_dialog.h"

namespace kelvara {

// A dialog for tests: every call becomes one line of `Calls()`, in order,
// from whichever thread made it. The Open dialog answers with `chosenFile`.
class RecordingDialog final : public MainDialog {
 public:
  std::string chosenFile;

  void SetControlText(ControlId control, std::string_view text) override {
    Record("text " + std::to_string(control) + " " + std::string(text));
  }
  void SetLabelColours(ControlId label, Colour text, Colour background) override {
    Record("colours " + std::to_string(label) + " " + Rgb(text) + " on " + Rgb(background));
  }
  void DisableControl(ControlId control) override { Record("disable " + std::to_string(control)); }
  void Repaint() override { Record("repaint"); }
  std::string ChooseFile() override {
    Record("choose");
    return chosenFile;
  }
  void Record(std::string call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
  }
  std::vector<std::string> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  static std::string Rgb(Colour c) {
    return std::to_string(c.red) + "," + std::to_string(c.green) + "," + std::to_string(c.blue);
  }
  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
};

}  // namespace kelvara
