// The window on GTK 3. Controls sit in GtkFixed containers at the form's
// pixel positions; a group box is a GtkFixed that holds a captionless frame
// and, above it, its own controls, so their positions count from the box's
// corner as the form has it.

#include <gtk/gtk.h>

#include <condition_variable>
#include <mutex>

#include "platform/message_pump.h"
#include "platform/posix/gtk_thread.h"
#include "platform/posix/gui_posix.h"
#include "platform/process.h"

namespace qp::gui::posix {
namespace {

// Small push buttons as the form draws them: the theme's padding would not
// leave room for the caption in 64 x 24 pixels.
constexpr char kCss[] =
    "button.qp-button { padding: 0 2px; min-height: 0; min-width: 0; }\n"
    "window.qp-colorkey-white { background-color: transparent; }\n";

// Runs `work` on the UI thread and, when `wait` is set, blocks the caller
// until it has run.
void RunOnUiThread(std::function<void()> work, bool wait) {
  if (OnGtkUiThread()) {
    work();
    return;
  }
  struct Call {
    Call(std::function<void()> w, bool wt) : work(std::move(w)), wait(wt) {}
    std::function<void()> work;
    bool wait;
    std::mutex mutex;
    std::condition_variable done_cv;
    bool done = false;
  };
  auto* call = new Call(std::move(work), wait);
  g_idle_add_full(
      G_PRIORITY_DEFAULT,
      [](gpointer data) -> gboolean {
        auto* call = static_cast<Call*>(data);
        call->work();
        if (!call->wait) {
          delete call;
          return G_SOURCE_REMOVE;
        }
        std::lock_guard lock(call->mutex);
        call->done = true;
        call->done_cv.notify_one();
        return G_SOURCE_REMOVE;
      },
      call, nullptr);
  if (!wait)
    return;
  {
    std::unique_lock lock(call->mutex);
    call->done_cv.wait(lock, [call] { return call->done; });
  }
  delete call;
}

GtkMessageType MessageType(std::uint32_t flags) {
  switch (flags & kMbIconMask) {
    case kMbIconError:
      return GTK_MESSAGE_ERROR;
    case kMbIconQuestion:
      return GTK_MESSAGE_QUESTION;
    case kMbIconWarning:
      return GTK_MESSAGE_WARNING;
    case kMbIconInformation:
      return GTK_MESSAGE_INFO;
    default:
      return GTK_MESSAGE_OTHER;
  }
}

class GtkGui : public Gui {
 public:
  bool IsTerminal() const override { return false; }

  void CreateMainWindow(const Form& form, Events events) override {
    events_ = std::move(events);
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, kCss, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);

    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window_), form.title.c_str());
    gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
    gtk_window_move(GTK_WINDOW(window_), form.left, form.top);
    // Transparency needs a visual with alpha, which only a compositing
    // desktop has; it must be chosen before the window is realised.
    GdkScreen* screen = gtk_widget_get_screen(window_);
    if (GdkVisual* rgba = gdk_screen_get_rgba_visual(screen);
        rgba && gdk_screen_is_composited(screen)) {
      gtk_widget_set_visual(window_, rgba);
    }
    g_signal_connect(window_, "destroy", G_CALLBACK(+[](GtkWidget*, gpointer) {
                       if (gtk_main_level() > 0)
                         gtk_main_quit();
                     }),
                     nullptr);
    GtkWidget* client = gtk_fixed_new();
    gtk_widget_set_size_request(client, form.width, form.height);
    gtk_container_add(GTK_CONTAINER(window_), client);
    gtk_widget_show(client);

    for (std::size_t i = 0; i < form.controls.size(); ++i)
      AddControl(form.controls, static_cast<ControlId>(i), client);

    if (events_.created)
      events_.created();
    gtk_widget_show(window_);
  }

  void RunMessageLoop() override { gtk_main(); }

  void SetText(ControlId control, const Text& text) override {
    RunOnUiThread(
        [this, control, text] {
          GtkWidget* widget = Find(control) ? Find(control)->widget : nullptr;
          if (!widget)
            return;
          if (GTK_IS_LABEL(widget))
            gtk_label_set_text(GTK_LABEL(widget), text.c_str());
          else if (GTK_IS_BUTTON(widget))
            gtk_button_set_label(GTK_BUTTON(widget), text.c_str());
        },
        false);
  }

  void SetVisible(ControlId control, bool visible) override {
    RunOnUiThread(
        [this, control, visible] {
          if (const Placed* placed = Find(control))
            gtk_widget_set_visible(placed->widget, visible);
        },
        false);
  }

  void BringToTop(ControlId control) override {
    // GtkFixed draws its children in the order they were put, so the last one
    // is on top: take the control out and put it back at the same place.
    const Placed* found = Find(control);
    if (!found)
      return;
    const Placed& placed = *found;
    g_object_ref(placed.widget);
    gtk_container_remove(GTK_CONTAINER(placed.container), placed.widget);
    gtk_fixed_put(GTK_FIXED(placed.container), placed.widget, placed.left, placed.top);
    g_object_unref(placed.widget);
  }

  void SetTopmost() override {
    if (window_)
      gtk_window_set_keep_above(GTK_WINDOW(window_), TRUE);
  }

  std::uint32_t ExtendedStyle() override { return exStyle_; }
  void SetExtendedStyle(std::uint32_t style) override { exStyle_ = style; }

  void SetLayeredAttributes(std::uint32_t colorKey, std::uint8_t alpha,
                            std::uint32_t flags) override {
    if (!window_ || !(exStyle_ & kWsExLayered))
      return;  // only a layered window takes these, as on Windows
    GtkStyleContext* style = gtk_widget_get_style_context(window_);
    const bool whiteKey = (flags & kLwaColorKey) && (colorKey & 0xFFFFFF) == 0xFFFFFF;
    // The window's background is the white the colour key makes transparent;
    // without compositing there is no transparency and it stays as it is.
    if (whiteKey && gtk_widget_get_visual(window_) ==
                        gdk_screen_get_rgba_visual(gtk_widget_get_screen(window_)))
      gtk_style_context_add_class(style, "qp-colorkey-white");
    else
      gtk_style_context_remove_class(style, "qp-colorkey-white");
    gtk_widget_set_opacity(window_, (flags & kLwaAlpha) ? alpha / 255.0 : 1.0);
  }

  void ShowMessage(const Text& text, std::uint32_t flags, const Text& caption) override {
    WriteErrorLine(text);
    RunOnUiThread(
        [&] {
          GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, MessageType(flags),
                                                     GTK_BUTTONS_OK, "%s", text.c_str());
          gtk_window_set_title(GTK_WINDOW(dialog), caption.c_str());
          gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
          if (flags & kMbSystemModal)
            gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
          gtk_dialog_run(GTK_DIALOG(dialog));
          gtk_widget_destroy(dialog);
        },
        true);
  }

  bool WaitDispatchingMessages(std::uint32_t milliseconds) override {
    return gui::WaitDispatchingMessages(milliseconds);
  }

  bool StartThread(std::function<void()> body) override {
    return process::StartThread(std::move(body));
  }

  void EndProcess(int exitCode) override { process::Exit(exitCode); }

 private:
  struct Placed {
    GtkWidget* widget = nullptr;     // what is shown, hidden and moved
    GtkWidget* container = nullptr;  // the GtkFixed it sits in
    GtkWidget* inner = nullptr;      // a group box's own GtkFixed
    int left = 0, top = 0;
  };

  void AddControl(const std::vector<Control>& form, ControlId id, GtkWidget* client) {
    const Control& c = form[id];
    Placed placed;
    // A parent that is not an earlier group box leaves the control in the
    // client area.
    const Placed* parent = c.parent ? Find(*c.parent) : nullptr;
    placed.container = parent && parent->inner ? parent->inner : client;
    placed.left = c.left;
    placed.top = c.top;
    switch (c.kind) {
      case ControlKind::kGroupBox: {
        placed.widget = placed.inner = gtk_fixed_new();
        GtkWidget* frame = gtk_frame_new(c.text.empty() ? nullptr : c.text.c_str());
        gtk_widget_set_size_request(frame, c.width, c.height);
        gtk_fixed_put(GTK_FIXED(placed.inner), frame, 0, 0);
        gtk_widget_show(frame);
        break;
      }
      case ControlKind::kLabel: {
        placed.widget = gtk_label_new(c.text.c_str());
        // Text starts at the top left, as a static control draws it. GtkFixed
        // gives a child its minimum size, so a label that could wrap or grow
        // would push the window past the form's size: text that does not fit
        // the label's width ends in an ellipsis instead.
        gtk_label_set_xalign(GTK_LABEL(placed.widget), 0);
        gtk_label_set_yalign(GTK_LABEL(placed.widget), 0);
        gtk_label_set_ellipsize(GTK_LABEL(placed.widget), PANGO_ELLIPSIZE_END);
        break;
      }
      case ControlKind::kButton: {
        placed.widget = gtk_button_new_with_label(c.text.c_str());
        gtk_style_context_add_class(gtk_widget_get_style_context(placed.widget), "qp-button");
        g_object_set_data(G_OBJECT(placed.widget), "qp-control", GINT_TO_POINTER(id));
        g_signal_connect(placed.widget, "clicked", G_CALLBACK(&GtkGui::OnClicked), this);
        break;
      }
    }
    gtk_widget_set_size_request(placed.widget, c.width, c.height);
    gtk_fixed_put(GTK_FIXED(placed.container), placed.widget, c.left, c.top);
    gtk_widget_set_visible(placed.widget, c.visible);
    controls_.push_back(placed);
  }

  // The control of that id; nullptr for an id the form does not have (or
  // before the window exists).
  const Placed* Find(ControlId control) const {
    if (control < 0 || static_cast<std::size_t>(control) >= controls_.size())
      return nullptr;
    return &controls_[control];
  }

  static void OnClicked(GtkWidget* button, gpointer self) {
    auto* gui = static_cast<GtkGui*>(self);
    if (gui->events_.clicked)
      gui->events_.clicked(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), "qp-control")));
  }

  Events events_;
  GtkWidget* window_ = nullptr;
  std::vector<Placed> controls_;
  std::uint32_t exStyle_ = 0;
};

}  // namespace

std::unique_ptr<Gui> OpenGtkGui() {
  if (!gtk_init_check(nullptr, nullptr))
    return nullptr;
  MarkGtkUiThread();
  return std::make_unique<GtkGui>();
}

}  // namespace qp::gui::posix
