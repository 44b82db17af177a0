#include "platform/dialog/scripted_backend.h"

namespace plat {

void ScriptedDialogBackend::Snapshot(DialogSession& session) {
  PanelSnapshot snapshot;
  const DialogPanel* panel = session.Request().panel;
  for (int i = 0; panel && i < panel->count; ++i) {
    const PanelControl& control = panel->controls[i];
    snapshot.items[control.id] = *session.Item(control.id);
    if (control.kind == PanelControlKind::kPreview) {
      // Painted like a window: the whole area, whenever the hook asked for it or at the start.
      snapshot.preview = session.Paint(control.id, control.width, control.height);
      snapshot.previewWidth = control.width;
      snapshot.previewHeight = control.height;
    }
  }
  invalidated_.clear();
  snapshot.defaultExtension = session.DefaultExtension();
  snapshot.typedName = typed_;
  snapshots.push_back(std::move(snapshot));
}

bool ScriptedDialogBackend::Run(DialogSession& session) {
  ++runs;
  request = session.Request();
  typed_ = request.fileName;
  session.SetView(this);
  session.Start();
  for (const ScriptStep& step : script_) {
    bool done = false, accepted = false;
    switch (step.kind) {
      case ScriptStep::kSelect:
        session.SelectionChanged(step.path);
        break;
      case ScriptStep::kChangeType:
        session.TypeChanged(step.index);
        typed_ = session.RenameForType(typed_);
        break;
      case ScriptStep::kAccept:
        accepted = done = session.Accept({step.path});
        break;
      case ScriptStep::kAcceptMany:
        accepted = done = session.Accept(step.paths);
        break;
      case ScriptStep::kCancel:
        done = true;
        break;
    }
    Snapshot(session);
    if (done) {
      session.SetView(nullptr);
      return accepted;
    }
  }
  session.SetView(nullptr);
  return false;  // the script ran out: the user closed the dialog
}

}  // namespace plat
