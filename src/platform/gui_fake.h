#pragma once
// A Gui for tests: it keeps the window's state as plain values, records every
// call in order, and plays clicks and the worker thread in its message loop,
// all on the calling thread.

#include <mutex>
#include <string>
#include <vector>

#include "platform/gui.h"

namespace qp::gui {

class FakeGui : public Gui {
 public:
  struct Message {
    Text text;
    std::uint32_t flags;
    Text caption;
  };

  explicit FakeGui(bool terminal = false) : terminal_(terminal) {}

  // Clicks the message loop plays, in order, until the process has ended.
  void QueueClick(ControlId control);
  // Makes WaitDispatchingMessages / StartThread fail from now on.
  void FailWaits() { waitsFail_ = true; }
  void FailThreads() { threadsFail_ = true; }

  // What happened, as lines such as "SetVisible 标签2 0".
  std::vector<std::string> Calls() const;
  void ClearCalls();

  // The window as it stands.
  bool created() const { return created_; }
  const Form& form() const { return form_; }
  Text TextOf(ControlId control) const;
  bool IsVisible(ControlId control) const;
  // Sibling order, lowest first, of the controls that share `control`'s parent.
  std::vector<ControlId> ZOrderAround(ControlId control) const;
  bool topmost() const { return topmost_; }
  std::uint32_t extendedStyle() const { return exStyle_; }
  std::vector<Message> Messages() const;
  std::optional<int> exitCode() const { return exitCode_; }
  std::vector<std::uint32_t> waits() const { return waits_; }

  bool IsTerminal() const override { return terminal_; }
  void CreateMainWindow(const Form& form, Events events) override;
  void RunMessageLoop() override;
  void SetText(ControlId control, const Text& text) override;
  void SetVisible(ControlId control, bool visible) override;
  void BringToTop(ControlId control) override;
  void SetTopmost() override;
  std::uint32_t ExtendedStyle() override;
  void SetExtendedStyle(std::uint32_t style) override;
  void SetLayeredAttributes(std::uint32_t colorKey, std::uint8_t alpha,
                            std::uint32_t flags) override;
  void ShowMessage(const Text& text, std::uint32_t flags, const Text& caption) override;
  bool WaitDispatchingMessages(std::uint32_t milliseconds) override;
  bool StartThread(std::function<void()> body) override;
  void EndProcess(int exitCode) override;

 private:
  void Record(std::string call);
  std::string NameOf(ControlId control) const;

  const bool terminal_;
  mutable std::mutex mutex_;  // the worker may call in from another thread
  std::vector<std::string> calls_;
  bool created_ = false;
  Form form_;
  Events events_;
  std::vector<ControlId> zOrder_;  // every control, lowest first
  bool topmost_ = false;
  std::uint32_t exStyle_ = 0;
  std::vector<Message> messages_;
  std::optional<int> exitCode_;
  std::vector<std::uint32_t> waits_;
  std::vector<ControlId> clicks_;
  std::vector<std::function<void()>> threads_;
  bool waitsFail_ = false, threadsFail_ = false;
};

}  // namespace qp::gui
