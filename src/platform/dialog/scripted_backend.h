// The scripted dialog backend of the tests: plays a script of user actions on the session and
// logs what the panel showed after each one.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/dialog/dialog.h"

namespace plat {

struct ScriptStep {
  enum Kind { kSelect, kChangeType, kAccept, kAcceptMany, kCancel } kind;
  std::u16string path;                // kSelect, kAccept
  int index = 0;                      // kChangeType: 0-based entry
  std::vector<std::u16string> paths;  // kAcceptMany

  static ScriptStep Select(std::u16string path) { return {kSelect, std::move(path), 0, {}}; }
  static ScriptStep ChangeType(int index) { return {kChangeType, {}, index, {}}; }
  static ScriptStep Accept(std::u16string path) { return {kAccept, std::move(path), 0, {}}; }
  static ScriptStep AcceptMany(std::vector<std::u16string> paths) {
    return {kAcceptMany, {}, 0, std::move(paths)};
  }
  static ScriptStep Cancel() { return {kCancel, {}, 0, {}}; }
};

// The panel as the user saw it after a step.
struct PanelSnapshot {
  std::map<int, PanelItemState> items;
  std::vector<std::uint32_t> preview;  // 0x00RRGGBB rows of the preview area
  int previewWidth = 0, previewHeight = 0;
  std::u16string defaultExtension;
  std::u16string typedName;  // save dialogs: the name in the name field
};

class ScriptedDialogBackend : public DialogBackend, private DialogView {
 public:
  explicit ScriptedDialogBackend(std::vector<ScriptStep> script) : script_(std::move(script)) {}

  int Availability() override { return availability; }
  bool Run(DialogSession& session) override;

  int availability = kDialogCancelled;
  bool confirmAnswer = true;  // the answer to overwrite prompts

  // The log.
  DialogRequest request;                 // what the dialog was asked to show
  std::vector<PanelSnapshot> snapshots;  // one per step, taken after it
  std::vector<std::u16string> messages;
  std::vector<std::u16string> questions;
  int runs = 0;

 private:
  void ItemChanged(int) override {}
  void Invalidate(int item) override { invalidated_.push_back(item); }
  void Message(const std::u16string& text, const std::u16string&) override {
    messages.push_back(text);
  }
  bool Confirm(const std::u16string& text) override {
    questions.push_back(text);
    return confirmAnswer;
  }
  void Snapshot(DialogSession& session);

  std::vector<ScriptStep> script_;
  std::vector<int> invalidated_;
  std::u16string typed_;
};

}  // namespace plat
