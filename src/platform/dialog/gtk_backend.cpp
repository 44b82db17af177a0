// The GTK 3 dialog backend. libgtk-3.so.0 is opened on first use and every function resolved
// by name, so the library neither links GTK nor needs it installed; the GTK headers only give
// the types. A GtkFileChooserDialog shows the request: one GtkFileFilter per entry (matched by
// our own case-insensitive test, as GTK's patterns respect case), the extra panel as the
// chooser's preview widget, "update-preview" as the selection change and the filter property
// as the type change. A refused choice runs the dialog again.
#include <dlfcn.h>

#include <gtk/gtk.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/dialog/dialog.h"
#include "platform/file/file.h"
#include "platform/text/codepage.h"

namespace plat {
namespace {

std::string Utf8(const std::u16string& text) { return EncodeNarrow(text, kCodePageUtf8); }
std::u16string Utf16(const char* text) {
  return text ? DecodeNarrow(text, kCodePageUtf8) : std::u16string();
}

// The GTK, GDK, GLib and cairo functions the backend calls.
struct GtkApi {
  void* library = nullptr;
  gboolean (*init_check)(int*, char***);
  GtkWidget* (*file_chooser_dialog_new)(const gchar*, GtkWindow*, GtkFileChooserAction,
                                        const gchar*, ...);
  GtkFileFilter* (*file_filter_new)();
  void (*file_filter_set_name)(GtkFileFilter*, const gchar*);
  void (*file_filter_add_custom)(GtkFileFilter*, GtkFileFilterFlags, GtkFileFilterFunc, gpointer,
                                 GDestroyNotify);
  void (*file_chooser_add_filter)(GtkFileChooser*, GtkFileFilter*);
  void (*file_chooser_set_filter)(GtkFileChooser*, GtkFileFilter*);
  GtkFileFilter* (*file_chooser_get_filter)(GtkFileChooser*);
  gboolean (*file_chooser_set_current_folder)(GtkFileChooser*, const gchar*);
  void (*file_chooser_set_current_name)(GtkFileChooser*, const gchar*);
  gchar* (*file_chooser_get_current_name)(GtkFileChooser*);
  gboolean (*file_chooser_set_filename)(GtkFileChooser*, const char*);
  GSList* (*file_chooser_get_filenames)(GtkFileChooser*);
  gchar* (*file_chooser_get_preview_filename)(GtkFileChooser*);
  void (*file_chooser_set_select_multiple)(GtkFileChooser*, gboolean);
  void (*file_chooser_set_preview_widget)(GtkFileChooser*, GtkWidget*);
  void (*file_chooser_set_preview_widget_active)(GtkFileChooser*, gboolean);
  void (*file_chooser_set_use_preview_label)(GtkFileChooser*, gboolean);
  gint (*dialog_run)(GtkDialog*);
  void (*dialog_response)(GtkDialog*, gint);
  GtkWidget* (*message_dialog_new)(GtkWindow*, GtkDialogFlags, GtkMessageType, GtkButtonsType,
                                   const gchar*, ...);
  void (*widget_destroy)(GtkWidget*);
  void (*widget_show_all)(GtkWidget*);
  void (*widget_set_visible)(GtkWidget*, gboolean);
  void (*widget_set_size_request)(GtkWidget*, gint, gint);
  void (*widget_queue_draw)(GtkWidget*);
  void (*widget_realize)(GtkWidget*);
  GdkWindow* (*widget_get_window)(GtkWidget*);
  int (*widget_get_allocated_width)(GtkWidget*);
  int (*widget_get_allocated_height)(GtkWidget*);
  GtkWidget* (*fixed_new)();
  void (*fixed_put)(GtkFixed*, GtkWidget*, gint, gint);
  GtkWidget* (*label_new)(const gchar*);
  void (*label_set_text)(GtkLabel*, const gchar*);
  void (*label_set_xalign)(GtkLabel*, gfloat);
  GtkWidget* (*drawing_area_new)();
  void (*window_set_modal)(GtkWindow*, gboolean);
  gboolean (*events_pending)();
  gboolean (*main_iteration)();
  gulong (*signal_connect_data)(gpointer, const gchar*, GCallback, gpointer, GClosureNotify,
                                GConnectFlags);
  guint (*timeout_add)(guint, GSourceFunc, gpointer);
  gboolean (*source_remove)(guint);
  void (*free)(gpointer);
  void (*slist_free)(GSList*);
  GdkDisplay* (*display_get_default)();
  GType (*x11_display_get_type)();
  gboolean (*type_check_instance_is_a)(GTypeInstance*, GType);
  GdkWindow* (*x11_window_foreign_new_for_display)(GdkDisplay*, unsigned long);
  void (*window_set_transient_for)(GdkWindow*, GdkWindow*);
  cairo_surface_t* (*image_surface_create_for_data)(unsigned char*, cairo_format_t, int, int, int);
  void (*set_source_surface)(cairo_t*, cairo_surface_t*, double, double);
  void (*paint)(cairo_t*);
  void (*surface_destroy)(cairo_surface_t*);

  template <typename F>
  bool Resolve(F& function, const char* name) {
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
  }
  bool Load();
};

bool GtkApi::Load() {
  library = dlopen("libgtk-3.so.0", RTLD_NOW | RTLD_LOCAL);
  if (!library) return false;
  bool ok = Resolve(init_check, "gtk_init_check") &&
            Resolve(file_chooser_dialog_new, "gtk_file_chooser_dialog_new") &&
            Resolve(file_filter_new, "gtk_file_filter_new") &&
            Resolve(file_filter_set_name, "gtk_file_filter_set_name") &&
            Resolve(file_filter_add_custom, "gtk_file_filter_add_custom") &&
            Resolve(file_chooser_add_filter, "gtk_file_chooser_add_filter") &&
            Resolve(file_chooser_set_filter, "gtk_file_chooser_set_filter") &&
            Resolve(file_chooser_get_filter, "gtk_file_chooser_get_filter") &&
            Resolve(file_chooser_set_current_folder, "gtk_file_chooser_set_current_folder") &&
            Resolve(file_chooser_set_current_name, "gtk_file_chooser_set_current_name") &&
            Resolve(file_chooser_get_current_name, "gtk_file_chooser_get_current_name") &&
            Resolve(file_chooser_set_filename, "gtk_file_chooser_set_filename") &&
            Resolve(file_chooser_get_filenames, "gtk_file_chooser_get_filenames") &&
            Resolve(file_chooser_get_preview_filename, "gtk_file_chooser_get_preview_filename") &&
            Resolve(file_chooser_set_select_multiple, "gtk_file_chooser_set_select_multiple") &&
            Resolve(file_chooser_set_preview_widget, "gtk_file_chooser_set_preview_widget") &&
            Resolve(file_chooser_set_preview_widget_active,
                    "gtk_file_chooser_set_preview_widget_active") &&
            Resolve(file_chooser_set_use_preview_label, "gtk_file_chooser_set_use_preview_label") &&
            Resolve(dialog_run, "gtk_dialog_run") &&
            Resolve(dialog_response, "gtk_dialog_response") &&
            Resolve(message_dialog_new, "gtk_message_dialog_new") &&
            Resolve(widget_destroy, "gtk_widget_destroy") &&
            Resolve(widget_show_all, "gtk_widget_show_all") &&
            Resolve(widget_set_visible, "gtk_widget_set_visible") &&
            Resolve(widget_set_size_request, "gtk_widget_set_size_request") &&
            Resolve(widget_queue_draw, "gtk_widget_queue_draw") &&
            Resolve(widget_realize, "gtk_widget_realize") &&
            Resolve(widget_get_window, "gtk_widget_get_window") &&
            Resolve(widget_get_allocated_width, "gtk_widget_get_allocated_width") &&
            Resolve(widget_get_allocated_height, "gtk_widget_get_allocated_height") &&
            Resolve(fixed_new, "gtk_fixed_new") && Resolve(fixed_put, "gtk_fixed_put") &&
            Resolve(label_new, "gtk_label_new") && Resolve(label_set_text, "gtk_label_set_text") &&
            Resolve(label_set_xalign, "gtk_label_set_xalign") &&
            Resolve(drawing_area_new, "gtk_drawing_area_new") &&
            Resolve(window_set_modal, "gtk_window_set_modal") &&
            Resolve(events_pending, "gtk_events_pending") &&
            Resolve(main_iteration, "gtk_main_iteration") &&
            Resolve(signal_connect_data, "g_signal_connect_data") &&
            Resolve(timeout_add, "g_timeout_add") && Resolve(source_remove, "g_source_remove") &&
            Resolve(free, "g_free") && Resolve(slist_free, "g_slist_free") &&
            Resolve(display_get_default, "gdk_display_get_default") &&
            Resolve(type_check_instance_is_a, "g_type_check_instance_is_a") &&
            Resolve(window_set_transient_for, "gdk_window_set_transient_for") &&
            Resolve(image_surface_create_for_data, "cairo_image_surface_create_for_data") &&
            Resolve(set_source_surface, "cairo_set_source_surface") &&
            Resolve(paint, "cairo_paint") && Resolve(surface_destroy, "cairo_surface_destroy");
  // Without the X11 part of GDK (another windowing system) dialogs still show, untied.
  Resolve(x11_display_get_type, "gdk_x11_display_get_type");
  Resolve(x11_window_foreign_new_for_display, "gdk_x11_window_foreign_new_for_display");
  if (!ok) {
    dlclose(library);
    library = nullptr;
  }
  return ok;
}

std::mutex gAutomationMutex;
std::vector<GtkAutomationStep> gAutomation;

// One dialog on the screen: its widgets and the glue between GTK's signals and the session.
class GtkDialog final : public DialogView {
 public:
  GtkDialog(GtkApi& gtk, DialogSession& session) : gtk_(gtk), session_(session) {}
  bool Run();

 private:
  struct AutomationTimer {
    GtkDialog* dialog;
    GtkAutomationStep step;
    guint source = 0;
    bool fired = false;
  };

  GtkFileChooser* Chooser() { return reinterpret_cast<GtkFileChooser*>(dialog_); }
  GtkWidget* Widget(int item) {
    for (const auto& [id, widget] : widgets_) {
      if (id == item) return widget;
    }
    return nullptr;
  }
  void Build();
  void BuildPanel(const DialogPanel& panel);
  void TieToOwner();
  void StartAutomation();
  std::vector<std::u16string> ChosenPaths();

  void ItemChanged(int item) override;
  void Invalidate(int item) override {
    if (GtkWidget* widget = Widget(item)) gtk_.widget_queue_draw(widget);
  }
  void Message(const std::u16string& text, const std::u16string& caption) override;
  bool Confirm(const std::u16string& text) override;

  static gboolean MatchEntry(const GtkFileFilterInfo* info, gpointer data);
  static void OnUpdatePreview(GtkFileChooser* chooser, gpointer data);
  static void OnFilterChanged(GObject* object, GParamSpec* property, gpointer data);
  static gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer data);
  static gboolean OnAutomation(gpointer data);

  GtkApi& gtk_;
  DialogSession& session_;
  GtkWidget* dialog_ = nullptr;
  std::vector<GtkFileFilter*> filters_;
  std::vector<std::pair<int, GtkWidget*>> widgets_;
  std::vector<AutomationTimer*> timers_;
  bool ready_ = false;  // signals before the dialog is set up are GTK's own
};

gboolean GtkDialog::MatchEntry(const GtkFileFilterInfo* info, gpointer data) {
  const auto* filter = static_cast<const DialogFilter*>(data);
  return info->display_name && MatchesFilter(*filter, Utf16(info->display_name));
}

void GtkDialog::OnUpdatePreview(GtkFileChooser* chooser, gpointer data) {
  auto* self = static_cast<GtkDialog*>(data);
  if (!self->ready_) return;
  gchar* name = self->gtk_.file_chooser_get_preview_filename(chooser);
  self->session_.SelectionChanged(Utf16(name));
  self->gtk_.free(name);
  // The panel stays even for folders and unreadable files: it says "Unknown format".
  self->gtk_.file_chooser_set_preview_widget_active(chooser, TRUE);
}

void GtkDialog::OnFilterChanged(GObject*, GParamSpec*, gpointer data) {
  auto* self = static_cast<GtkDialog*>(data);
  if (!self->ready_) return;
  GtkFileFilter* chosen = self->gtk_.file_chooser_get_filter(self->Chooser());
  for (std::size_t i = 0; i < self->filters_.size(); ++i) {
    if (self->filters_[i] != chosen) continue;
    self->session_.TypeChanged(static_cast<int>(i));
    if (self->session_.Request().save) {
      gchar* typed = self->gtk_.file_chooser_get_current_name(self->Chooser());
      const std::u16string renamed = self->session_.RenameForType(Utf16(typed));
      self->gtk_.free(typed);
      if (!renamed.empty()) {
        self->gtk_.file_chooser_set_current_name(self->Chooser(), Utf8(renamed).c_str());
      }
    }
  }
}

gboolean GtkDialog::OnDraw(GtkWidget* widget, cairo_t* cr, gpointer data) {
  auto* self = static_cast<GtkDialog*>(data);
  int item = -1;
  for (const auto& [id, w] : self->widgets_) {
    if (w == widget) item = id;
  }
  const int width = self->gtk_.widget_get_allocated_width(widget);
  const int height = self->gtk_.widget_get_allocated_height(widget);
  if (item < 0 || width <= 0 || height <= 0) return FALSE;
  std::vector<std::uint32_t> pixels = self->session_.Paint(item, width, height);
  cairo_surface_t* surface =
      self->gtk_.image_surface_create_for_data(reinterpret_cast<unsigned char*>(pixels.data()),
                                               CAIRO_FORMAT_RGB24, width, height, width * 4);
  self->gtk_.set_source_surface(cr, surface, 0, 0);
  self->gtk_.paint(cr);
  self->gtk_.surface_destroy(surface);
  return TRUE;
}

gboolean GtkDialog::OnAutomation(gpointer data) {
  auto* timer = static_cast<AutomationTimer*>(data);
  timer->fired = true;
  GtkDialog* self = timer->dialog;
  switch (timer->step.kind) {
    case GtkAutomationStep::kSelect:
      self->gtk_.file_chooser_set_filename(self->Chooser(),
                                           NativePath(timer->step.path.c_str()).c_str());
      break;
    case GtkAutomationStep::kAccept:
      self->gtk_.dialog_response(reinterpret_cast<::GtkDialog*>(self->dialog_),
                                 GTK_RESPONSE_ACCEPT);
      break;
    case GtkAutomationStep::kCancel:
      self->gtk_.dialog_response(reinterpret_cast<::GtkDialog*>(self->dialog_),
                                 GTK_RESPONSE_CANCEL);
      break;
  }
  return FALSE;
}

void GtkDialog::ItemChanged(int item) {
  GtkWidget* widget = Widget(item);
  const PanelItemState* state = session_.Item(item);
  if (!widget || !state) return;
  const DialogPanel* panel = session_.Request().panel;
  for (int i = 0; panel && i < panel->count; ++i) {
    if (panel->controls[i].id == item && panel->controls[i].kind != PanelControlKind::kPreview) {
      gtk_.label_set_text(reinterpret_cast<GtkLabel*>(widget), Utf8(state->text).c_str());
    }
  }
  gtk_.widget_set_visible(widget, state->visible);
}

void GtkDialog::Message(const std::u16string& text, const std::u16string&) {
  GtkWidget* box =
      gtk_.message_dialog_new(reinterpret_cast<GtkWindow*>(dialog_), GTK_DIALOG_MODAL,
                              GTK_MESSAGE_WARNING, GTK_BUTTONS_OK, "%s", Utf8(text).c_str());
  gtk_.dialog_run(reinterpret_cast<::GtkDialog*>(box));
  gtk_.widget_destroy(box);
}

bool GtkDialog::Confirm(const std::u16string& text) {
  GtkWidget* box =
      gtk_.message_dialog_new(reinterpret_cast<GtkWindow*>(dialog_), GTK_DIALOG_MODAL,
                              GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO, "%s", Utf8(text).c_str());
  const gint answer = gtk_.dialog_run(reinterpret_cast<::GtkDialog*>(box));
  gtk_.widget_destroy(box);
  return answer == GTK_RESPONSE_YES;
}

void GtkDialog::BuildPanel(const DialogPanel& panel) {
  GtkWidget* fixed = gtk_.fixed_new();
  gtk_.widget_set_size_request(fixed, panel.width, panel.height);
  for (int i = 0; i < panel.count; ++i) {
    const PanelControl& control = panel.controls[i];
    GtkWidget* widget;
    if (control.kind == PanelControlKind::kPreview) {
      widget = gtk_.drawing_area_new();
      gtk_.signal_connect_data(widget, "draw", reinterpret_cast<GCallback>(&OnDraw), this, nullptr,
                               GConnectFlags(0));
    } else {
      widget = gtk_.label_new(Utf8(session_.Item(control.id)->text).c_str());
      gtk_.label_set_xalign(reinterpret_cast<GtkLabel*>(widget), 0.0f);
    }
    gtk_.widget_set_size_request(widget, control.width, control.height);
    gtk_.fixed_put(reinterpret_cast<GtkFixed*>(fixed), widget, control.x, control.y);
    widgets_.push_back({control.id, widget});
  }
  gtk_.widget_show_all(fixed);
  for (const auto& [id, widget] : widgets_)
    gtk_.widget_set_visible(widget, session_.Item(id)->visible);
  gtk_.file_chooser_set_preview_widget(Chooser(), fixed);
  gtk_.file_chooser_set_use_preview_label(Chooser(), FALSE);
  gtk_.file_chooser_set_preview_widget_active(Chooser(), TRUE);
  gtk_.signal_connect_data(dialog_, "update-preview", reinterpret_cast<GCallback>(&OnUpdatePreview),
                           this, nullptr, GConnectFlags(0));
}

void GtkDialog::TieToOwner() {
  const unsigned long owner = OwnerX11Window(session_.Request().owner);
  if (!owner || !gtk_.x11_display_get_type || !gtk_.x11_window_foreign_new_for_display) return;
  GdkDisplay* display = gtk_.display_get_default();
  if (!display || !gtk_.type_check_instance_is_a(reinterpret_cast<GTypeInstance*>(display),
                                                 gtk_.x11_display_get_type())) {
    return;
  }
  GdkWindow* foreign = gtk_.x11_window_foreign_new_for_display(display, owner);
  if (!foreign) return;
  gtk_.widget_realize(dialog_);
  if (GdkWindow* own = gtk_.widget_get_window(dialog_)) gtk_.window_set_transient_for(own, foreign);
}

void GtkDialog::Build() {
  const DialogRequest& request = session_.Request();
  const bool save = request.save;
  std::u16string title = request.title;
  if (title.empty()) title = save ? u"Save As" : u"Open";
  dialog_ = gtk_.file_chooser_dialog_new(
      Utf8(title).c_str(), nullptr,
      save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel",
      GTK_RESPONSE_CANCEL, save ? "_Save" : "_Open", GTK_RESPONSE_ACCEPT, nullptr);
  gtk_.window_set_modal(reinterpret_cast<GtkWindow*>(dialog_), TRUE);
  if (!save && (request.flags & OFN_ALLOWMULTISELECT)) {
    gtk_.file_chooser_set_select_multiple(Chooser(), TRUE);
  }
  for (const DialogFilter& entry : request.filters) {
    GtkFileFilter* filter = gtk_.file_filter_new();
    gtk_.file_filter_set_name(filter, Utf8(entry.name).c_str());
    gtk_.file_filter_add_custom(filter, GTK_FILE_FILTER_DISPLAY_NAME, &MatchEntry,
                                const_cast<DialogFilter*>(&entry), nullptr);
    gtk_.file_chooser_add_filter(Chooser(), filter);
    filters_.push_back(filter);
  }
  if (!filters_.empty()) gtk_.file_chooser_set_filter(Chooser(), filters_[request.filterIndex]);
  if (!request.folder.empty()) {
    gtk_.file_chooser_set_current_folder(Chooser(), NativePath(request.folder.c_str()).c_str());
  }
  const std::u16string& name = request.fileName;
  const std::size_t slash = name.find_last_of(u'/');
  if (!name.empty() && slash != std::u16string::npos) {
    if (save) {
      gtk_.file_chooser_set_current_folder(
          Chooser(), NativePath(name.substr(0, std::max<std::size_t>(slash, 1)).c_str()).c_str());
      gtk_.file_chooser_set_current_name(Chooser(), Utf8(name.substr(slash + 1)).c_str());
    } else {
      gtk_.file_chooser_set_filename(Chooser(), NativePath(name.c_str()).c_str());
    }
  } else if (!name.empty() && save) {
    gtk_.file_chooser_set_current_name(Chooser(), Utf8(name).c_str());
  }
  if (request.panel) BuildPanel(*request.panel);
  gtk_.signal_connect_data(dialog_, "notify::filter", reinterpret_cast<GCallback>(&OnFilterChanged),
                           this, nullptr, GConnectFlags(0));
  TieToOwner();
}

void GtkDialog::StartAutomation() {
  std::vector<GtkAutomationStep> steps;
  {
    std::lock_guard<std::mutex> lock(gAutomationMutex);
    steps.swap(gAutomation);
  }
  guint delay = 0;
  for (GtkAutomationStep& step : steps) {
    delay += static_cast<guint>(std::max(step.delayMs, 0));
    auto* timer = new AutomationTimer{this, std::move(step)};
    timer->source = gtk_.timeout_add(delay, &OnAutomation, timer);
    timers_.push_back(timer);
  }
}

std::vector<std::u16string> GtkDialog::ChosenPaths() {
  std::vector<std::u16string> paths;
  GSList* names = gtk_.file_chooser_get_filenames(Chooser());
  for (GSList* node = names; node; node = node->next) {
    paths.push_back(Utf16(static_cast<const char*>(node->data)));
    gtk_.free(node->data);
  }
  gtk_.slist_free(names);
  return paths;
}

bool GtkDialog::Run() {
  Build();
  session_.SetView(this);
  session_.Start();
  ready_ = true;
  StartAutomation();
  bool accepted = false;
  for (;;) {
    const gint response = gtk_.dialog_run(reinterpret_cast<::GtkDialog*>(dialog_));
    if (response != GTK_RESPONSE_ACCEPT) break;
    std::vector<std::u16string> paths = ChosenPaths();
    if (!paths.empty() && session_.Accept(std::move(paths))) {
      accepted = true;
      break;
    }
  }
  ready_ = false;
  session_.SetView(nullptr);
  for (AutomationTimer* timer : timers_) {
    if (!timer->fired) gtk_.source_remove(timer->source);
    delete timer;
  }
  timers_.clear();
  gtk_.widget_destroy(dialog_);
  while (gtk_.events_pending()) gtk_.main_iteration();
  return accepted;
}

class GtkBackend final : public DialogBackend {
 public:
  int Availability() override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!loaded_) {
      loaded_ = true;
      loadedOk_ = api_.Load();
    }
    if (!loadedOk_) return kDialogNoGtk;
    // A failed start is tried again: a display may appear later.
    if (!started_) started_ = api_.init_check(nullptr, nullptr) != FALSE;
    return started_ ? kDialogCancelled : kDialogNoDisplay;
  }
  bool Run(DialogSession& session) override {
    GtkDialog dialog(api_, session);
    return dialog.Run();
  }

 private:
  std::mutex mutex_;
  GtkApi api_;
  bool loaded_ = false, loadedOk_ = false, started_ = false;
};

}  // namespace

DialogBackend& GtkDialogBackend() {
  static GtkBackend* const backend = new GtkBackend;  // GTK stays loaded until exit
  return *backend;
}

void SetGtkAutomation(std::vector<GtkAutomationStep> steps) {
  std::lock_guard<std::mutex> lock(gAutomationMutex);
  gAutomation = std::move(steps);
}

}  // namespace plat
