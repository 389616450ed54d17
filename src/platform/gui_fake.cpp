#include "platform/gui_fake.h"

#include <algorithm>
#include <cstdio>

namespace qp::gui {

void FakeGui::Record(std::string call) {
  std::lock_guard lock(mutex_);
  calls_.push_back(std::move(call));
}

std::string FakeGui::NameOf(ControlId control) const {
  if (control < 0 || static_cast<std::size_t>(control) >= form_.controls.size())
    return "#" + std::to_string(control);
  return form_.controls[control].name;
}

void FakeGui::QueueClick(ControlId control) {
  clicks_.push_back(control);
}

std::vector<std::string> FakeGui::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

void FakeGui::ClearCalls() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

Text FakeGui::TextOf(ControlId control) const {
  std::lock_guard lock(mutex_);
  return form_.controls.at(control).text;
}

bool FakeGui::IsVisible(ControlId control) const {
  std::lock_guard lock(mutex_);
  return form_.controls.at(control).visible;
}

std::vector<ControlId> FakeGui::ZOrderAround(ControlId control) const {
  std::lock_guard lock(mutex_);
  std::vector<ControlId> siblings;
  for (ControlId id : zOrder_) {
    if (form_.controls[id].parent == form_.controls.at(control).parent)
      siblings.push_back(id);
  }
  return siblings;
}

std::vector<FakeGui::Message> FakeGui::Messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

void FakeGui::CreateMainWindow(const Form& form, Events events) {
  {
    std::lock_guard lock(mutex_);
    form_ = form;
    events_ = std::move(events);
    zOrder_.clear();
    for (std::size_t i = 0; i < form.controls.size(); ++i)
      zOrder_.push_back(static_cast<ControlId>(i));
  }
  Record("CreateMainWindow " + form.title);
  if (events_.created)
    events_.created();
  // An ended process shows no window.
  std::lock_guard lock(mutex_);
  created_ = !exitCode_;
}

void FakeGui::RunMessageLoop() {
  Record("RunMessageLoop");
  // The worker runs while the loop spins; here it runs first, then the user's
  // clicks, until something ends the process.
  for (std::size_t i = 0; i < threads_.size() && !exitCode_; ++i)
    threads_[i]();
  for (std::size_t i = 0; i < clicks_.size() && !exitCode_; ++i) {
    Record("Click " + NameOf(clicks_[i]));
    if (events_.clicked)
      events_.clicked(clicks_[i]);
  }
}

void FakeGui::SetText(ControlId control, const Text& text) {
  Record("SetText " + NameOf(control) + " " + text);
  std::lock_guard lock(mutex_);
  form_.controls.at(control).text = text;
}

void FakeGui::SetVisible(ControlId control, bool visible) {
  Record("SetVisible " + NameOf(control) + " " + (visible ? "1" : "0"));
  std::lock_guard lock(mutex_);
  form_.controls.at(control).visible = visible;
}

void FakeGui::BringToTop(ControlId control) {
  Record("BringToTop " + NameOf(control));
  std::lock_guard lock(mutex_);
  zOrder_.erase(std::find(zOrder_.begin(), zOrder_.end(), control));
  zOrder_.push_back(control);
}

void FakeGui::SetTopmost() {
  Record("SetTopmost");
  topmost_ = true;
}

std::uint32_t FakeGui::ExtendedStyle() {
  Record("ExtendedStyle");
  return exStyle_;
}

void FakeGui::SetExtendedStyle(std::uint32_t style) {
  char line[64];
  std::snprintf(line, sizeof line, "SetExtendedStyle 0x%X", style);
  Record(line);
  exStyle_ = style;
}

void FakeGui::SetLayeredAttributes(std::uint32_t colorKey, std::uint8_t alpha,
                                   std::uint32_t flags) {
  char line[96];
  std::snprintf(line, sizeof line, "SetLayeredAttributes key=0x%06X alpha=%u flags=%u", colorKey,
                alpha, flags);
  Record(line);
}

void FakeGui::ShowMessage(const Text& text, std::uint32_t flags, const Text& caption) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%X", flags);
  Record("ShowMessage " + caption + " " + hex + " " + text);
  std::lock_guard lock(mutex_);
  messages_.push_back({text, flags, caption});
}

bool FakeGui::WaitDispatchingMessages(std::uint32_t milliseconds) {
  Record("Wait " + std::to_string(milliseconds));
  std::lock_guard lock(mutex_);
  waits_.push_back(milliseconds);
  return !waitsFail_;
}

bool FakeGui::StartThread(std::function<void()> body) {
  Record("StartThread");
  if (threadsFail_)
    return false;
  threads_.push_back(std::move(body));
  return true;
}

void FakeGui::EndProcess(int exitCode) {
  Record("EndProcess " + std::to_string(exitCode));
  std::lock_guard lock(mutex_);
  if (!exitCode_)
    exitCode_ = exitCode;
}

}  // namespace qp::gui
