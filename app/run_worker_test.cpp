#include "app/run_worker.h"

#include <gtest/gtest.h>

#include "testing/fixed_random.h"
#include "testing/memory_file_system.h"
#include "testing/table.h"

namespace kelvara {
namespace {

// A plain page in the shape that restoring writes, so that a round trip gives it back.
const std::string kPlain =
    "<html>\r\n<head>\r\n<title>Notes</title>\r\n\r\n\r\n\r\n\r\n</head>\r\n"
    "<body>\r\n<p>Alpha</p>\r\n\r\n</body>\r\n</html>\r\n";
const std::string kHeadless = "<html><title>T</title><body>x</body></html>";

// The dialog as the worker sees it: each call becomes a line of `calls`.
struct RecordingDialog final : MainDialog {
  void SetControlText(ControlId id, std::string_view text) override {
    Add("text " + std::to_string(id) + " " + std::string(text));
  }
  void SetLabelColours(ControlId id, Colour t, Colour b) override {
    char call[64];
    std::snprintf(call, sizeof call, "colours %d %d,%d,%d on %d,%d,%d", id, t.red, t.green, t.blue,
                  b.red, b.green, b.blue);
    Add(call);
  }
  void DisableControl(ControlId id) override { Add("disable " + std::to_string(id)); }
  void Repaint() override { Add("repaint"); }
  std::string ChooseFile() override {
    Add("choose");
    return chosenFile;
  }
  void Add(const std::string& call) { calls += call + "\n"; }
  std::string chosenFile;
  std::string calls;
};

// What a file holds, as the table names it.
std::string Kind(const std::string& bytes) {
  if (bytes.starts_with("<html>\r\n<head>\r\n<title>Kelvara</title>")) return "protected";
  return bytes == kPlain ? "plain" : bytes == kHeadless ? "headless" : "other";
}

TEST(RunWorker, Flows) {
  MemoryFileSystem files;
  std::vector<std::pair<std::vector<std::string>, std::string>> runs;  // each run, its calls
  for (const auto& row : TableRows("app/testdata/run_flows.txt")) {
    if (row[0] == "run") runs.push_back({row, ""});
    if (row[0] != "run") runs.back().second += row[0] + "\n";
  }
  for (const auto& [run, expected] : runs) {
    RecordingDialog dialog;
    RunState state;
    if (run[2] != "-") files.files["C:\\pages\\notes.htm"] = run[2] == "plain" ? kPlain : kHeadless;
    dialog.chosenFile = run[3];
    state.PublishPasswords("secret", true);
    if (run[4] == "first") state.RequestClose();
    files.failWhen = [&](FileOp op, const std::string&) {
      if (op == FileOp::kCreateTemporary && run[4] == "rewriting")
        dialog.Add(state.RequestClose() ? "closed" : "close waits");
      return false;
    };
    RunContext context{
        dialog, state, files, TestRandom(), run[1], [&](std::chrono::milliseconds pause) {
          dialog.Add("pause " + std::to_string(pause.count()));
        }};
    dialog.Add(RunWorker(context) == WorkerStatus::RunFinished ? "finished" : "failed");
    for (const auto& [path, bytes] : files.files) dialog.Add(path + ": " + Kind(bytes));
    if (state.DialogShouldEnd()) dialog.Add("close due");
    EXPECT_EQ(dialog.calls, expected) << run[1];
  }
}

}  // namespace
}  // namespace kelvara
