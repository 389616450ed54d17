// The GTK window's contract, run on a display of its own (xvfb-run).

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/message_pump.h"
#include "platform/posix/gui_posix.h"

namespace qp::gui::posix {
namespace {

Form TestForm() {
  Form form{"我", 50, 50, 461, 95, {}};
  form.controls.push_back({ControlKind::kGroupBox, "分组框1", {}, 2, 10, 448, 64, "", false});
  form.controls.push_back({ControlKind::kButton, "按钮", 0, 256, 22, 64, 24, "关联右键", true});
  form.controls.push_back(
      {ControlKind::kLabel, "标签2", {}, 10, 10, 448, 73, "正在创建链接...", true});
  return form;
}

void CollectLabels(GtkWidget* widget, std::vector<std::string>* texts) {
  if (GTK_IS_LABEL(widget) && gtk_widget_get_visible(widget))
    texts->push_back(gtk_label_get_text(GTK_LABEL(widget)));
  if (GTK_IS_CONTAINER(widget)) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* l = children; l; l = l->next)
      CollectLabels(GTK_WIDGET(l->data), texts);
    g_list_free(children);
  }
}

GtkWindow* FindToplevel(const char* title) {
  GtkWindow* found = nullptr;
  GList* all = gtk_window_list_toplevels();
  for (GList* l = all; l; l = l->next) {
    const char* t = gtk_window_get_title(GTK_WINDOW(l->data));
    if (t && std::string(t) == title && gtk_widget_get_visible(GTK_WIDGET(l->data)))
      found = GTK_WINDOW(l->data);
  }
  g_list_free(all);
  return found;
}

std::vector<std::string> LabelsOf(GtkWindow* window) {
  std::vector<std::string> texts;
  if (window)
    CollectLabels(GTK_WIDGET(window), &texts);
  return texts;
}

class GtkGuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gui_ = OpenGtkGui();
    if (!gui_)
      GTEST_SKIP() << "no display";
  }
  std::unique_ptr<Gui> gui_;
};

TEST_F(GtkGuiTest, WorkerChangesReachTheWindowAndItsMessagesBlockUntilDismissed) {
  bool shownDuringCreation = true;
  gui_->CreateMainWindow(TestForm(),
                         {[&] { shownDuringCreation = FindToplevel("我") != nullptr; }, nullptr});
  EXPECT_FALSE(shownDuringCreation);
  GtkWindow* window = FindToplevel("我");
  ASSERT_TRUE(window);

  // The box runs its own loop inside the UI thread's dispatch, so the test
  // looks at it, and dismisses it, from a timer that this loop dispatches.
  struct Seen {
    GtkWindow* window;
    std::atomic<bool> messageReturned{false};
    bool dialogSeen = false, returnedBeforeDismissal = true;
    std::vector<std::string> dialogTexts, windowTexts;
  } seen;
  seen.window = window;
  g_timeout_add(
      20,
      [](gpointer data) -> gboolean {
        auto* seen = static_cast<Seen*>(data);
        GtkWindow* dialog = FindToplevel("错误");
        if (!dialog)
          return G_SOURCE_CONTINUE;
        seen->dialogSeen = true;
        seen->returnedBeforeDismissal = seen->messageReturned;
        seen->dialogTexts = LabelsOf(dialog);
        seen->windowTexts = LabelsOf(seen->window);
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
        return G_SOURCE_REMOVE;
      },
      &seen);
  std::thread worker([&] {
    gui_->SetText(2, "上传文件...");
    gui_->SetVisible(0, true);
    gui_->ShowMessage("上传文件失败 -1", kMbIconError | kMbTaskModal, "错误");
    seen.messageReturned = true;
  });
  for (int i = 0; i < 500 && !seen.messageReturned; ++i)
    gui_->WaitDispatchingMessages(10);
  worker.join();
  EXPECT_TRUE(seen.dialogSeen);
  EXPECT_FALSE(seen.returnedBeforeDismissal);
  EXPECT_TRUE(seen.messageReturned);
  auto has = [](const std::vector<std::string>& texts, const char* text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
  };
  EXPECT_TRUE(has(seen.dialogTexts, "上传文件失败 -1"));
  EXPECT_TRUE(has(seen.windowTexts, "上传文件..."));
  gtk_widget_destroy(GTK_WIDGET(window));
}

TEST_F(GtkGuiTest, ClicksReachTheHandlerAndRaisingKeepsThePlace) {
  int clicked = -1;
  gui_->CreateMainWindow(TestForm(), {nullptr, [&](ControlId id) { clicked = id; }});
  GtkWindow* window = FindToplevel("我");
  ASSERT_TRUE(window);
  GtkWidget* client = gtk_bin_get_child(GTK_BIN(window));
  GList* before = gtk_container_get_children(GTK_CONTAINER(client));
  GtkWidget* groupBox = GTK_WIDGET(before->data);
  g_list_free(before);

  gui_->BringToTop(0);
  GList* after = gtk_container_get_children(GTK_CONTAINER(client));
  EXPECT_EQ(g_list_last(after)->data, groupBox);
  g_list_free(after);
  int x = -1, y = -1;
  gtk_container_child_get(GTK_CONTAINER(client), groupBox, "x", &x, "y", &y, nullptr);
  EXPECT_EQ(x, 2);
  EXPECT_EQ(y, 10);

  GList* inGroup = gtk_container_get_children(GTK_CONTAINER(groupBox));
  for (GList* l = inGroup; l; l = l->next) {
    if (GTK_IS_BUTTON(l->data))
      gtk_button_clicked(GTK_BUTTON(l->data));
  }
  g_list_free(inGroup);
  EXPECT_EQ(clicked, 1);
  gtk_widget_destroy(GTK_WIDGET(window));
}

TEST_F(GtkGuiTest, LayeringTakesEffectOnlyOnALayeredWindow) {
  gui_->CreateMainWindow(TestForm(), {});
  GtkWidget* window = GTK_WIDGET(FindToplevel("我"));
  ASSERT_TRUE(window);
  static const struct {
    std::uint32_t style;
    std::uint32_t colorKey;
    std::uint8_t alpha;
    std::uint32_t flags;
    double opacity;
  } cases[] = {
      {0, 0, 0, kLwaAlpha, 1.0},  // not layered: ignored
      {kWsExLayered, 0, 0, kLwaAlpha, 0.0},
      {kWsExLayered, 0, 51, kLwaAlpha, 0.2},
      {kWsExLayered, 0xFFFFFF, 0, kLwaColorKey, 1.0},  // the upload look: white only
      {kWsExLayered, 0xFFFFFF, 51, kLwaColorKey | kLwaAlpha, 0.2},
  };
  for (const auto& c : cases) {
    gtk_widget_set_opacity(window, 1.0);
    gui_->SetExtendedStyle(c.style);
    EXPECT_EQ(gui_->ExtendedStyle(), c.style);
    gui_->SetLayeredAttributes(c.colorKey, c.alpha, c.flags);
    EXPECT_NEAR(gtk_widget_get_opacity(window), c.opacity, 0.01) << c.flags << " " << int(c.alpha);
  }
  gtk_widget_destroy(window);
}

TEST_F(GtkGuiTest, WaitingDispatchesWithoutCuttingTheWaitShort) {
  std::atomic<int> dispatched{0};
  g_timeout_add(
      10,
      [](gpointer n) -> gboolean {
        ++*static_cast<std::atomic<int>*>(n);
        return G_SOURCE_REMOVE;
      },
      &dispatched);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(gui_->WaitDispatchingMessages(200));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
  EXPECT_EQ(dispatched, 1);

  // Pumping dispatches only on the UI thread.
  g_idle_add(
      [](gpointer n) -> gboolean {
        ++*static_cast<std::atomic<int>*>(n);
        return G_SOURCE_REMOVE;
      },
      &dispatched);
  std::thread([] { PumpPendingMessages(); }).join();
  EXPECT_EQ(dispatched, 1);
  PumpPendingMessages();
  EXPECT_EQ(dispatched, 2);
}

}  // namespace
}  // namespace qp::gui::posix
