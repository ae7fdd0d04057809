#include "app/run_worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "protect/protect_page.h"
#include "testing/fixed_random.h"
#include "testing/memory_file_system.h"
#include "testing/table.h"

namespace kelvara {
namespace {

constexpr char kPage[] = "C:\\pages\\notes.htm";

// The dialog as the worker sees it: each call becomes a line of `calls`.
class RecordingDialog final : public MainDialog {
 public:
  void SetControlText(ControlId id, std::string_view text) override {
    calls += "text " + std::to_string(id) + " " + std::string(text) + "\n";
  }
  void SetLabelColours(ControlId id, Colour text, Colour back) override {
    calls += "colours " + std::to_string(id) + " " + Rgb(text) + " on " + Rgb(back) + "\n";
  }
  void DisableControl(ControlId id) override { calls += "disable " + std::to_string(id) + "\n"; }
  void Repaint() override { calls += "repaint\n"; }
  std::string ChooseFile() override {
    calls += "choose\n";
    return chosenFile;
  }
  static std::string Rgb(Colour c) {
    return std::to_string(c.red) + "," + std::to_string(c.green) + "," + std::to_string(c.blue);
  }
  std::string chosenFile;
  std::string calls;
};

// The pages a run starts from; the plain one in the shape that restoring
// writes, so that a round trip gives it back.
std::map<std::string, std::string> Pages() {
  MemoryFileSystem files;
  files.files[kPage] =
      "<html>\r\n<head>\r\n<title>Notes</title>\r\n\r\n\r\n\r\n\r\n</head>\r\n"
      "<body bgcolor=\"white\">\r\n<p>Alpha</p>\r\n\r\n</body>\r\n</html>\r\n";
  std::map<std::string, std::string> pages = {
      {"plain", files.files[kPage]}, {"headless", "<html><title>T</title><body>x</body></html>"}};
  TagScanner scanner(files);
  ProtectPage(kPage, PageCipher("secret"), scanner, files, TestRandom());
  pages["protected"] = files.files[kPage];
  return pages;
}

TEST(RunWorker, Flows) {
  const std::map<std::string, std::string> pages = Pages();
  std::vector<std::pair<std::vector<std::string>, std::string>> runs;  // a run, its calls
  for (const auto& row : TableRows("app/testdata/run_flows.txt")) {
    if (row[0] == "run") runs.push_back({row, ""});
    if (row[0] != "run") runs.back().second += row[0] + "\n";
  }
  for (const auto& [run, expected] : runs) {
    MemoryFileSystem files;
    RecordingDialog dialog;
    RunState state;
    if (pages.contains(run[2])) files.files[kPage] = pages.at(run[2]);
    dialog.chosenFile = run[3];
    state.PublishPasswords("secret", true);
    if (run[4] == "first") state.RequestClose();
    files.failWhen = [&](FileOp op, const std::string&) {
      if (op == FileOp::kReplace && run[4] == "rewriting") {
        dialog.calls += state.RequestClose() ? "closed\n" : "close waits\n";
      }
      return false;
    };
    RunContext context{
        dialog, state, files, TestRandom(), run[1], [&](std::chrono::milliseconds pause) {
          dialog.calls += "pause " + std::to_string(pause.count()) + "\n";
        }};
    dialog.calls += RunWorker(context) == RunFinished ? "finished\n" : "failed\n";
    for (const auto& [path, bytes] : files.files) {
      const auto known = std::find_if(pages.begin(), pages.end(),
                                      [&](const auto& page) { return page.second == bytes; });
      dialog.calls += path + ": " + (known == pages.end() ? "other" : known->first) + "\n";
    }
    if (state.DialogShouldEnd()) dialog.calls += "close due\n";
    EXPECT_EQ(dialog.calls, expected) << run[1];
  }
}

}  // namespace
}  // namespace kelvara
