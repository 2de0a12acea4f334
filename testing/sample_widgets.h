// Widgets set up as the memo book's own, shared by the widget tests of
// every backend.
#pragma once

#include "base/text.h"
#include "ui/label.h"
#include "ui/super_btn.h"
#include "ui/window.h"

namespace tarnwick::testing {

// A window of the main window's design size.
inline WindowDesign MainSizedWindowDesign() {
  WindowDesign design;
  design.rect = {0, 0, 371, 596};
  return design;
}

// Like 超级按钮1: flat, border, no focus rectangle, no images, its own colours.
inline SuperBtn& AddTodayStyleButton(Window& window) {
  auto& button = window.Add<SuperBtn>(nullptr, "today", Rect{125, 244, 57, 18});
  button.SetProperty(SuperBtn::kStyle, 0);
  button.SetProperty(SuperBtn::kDrawBorder, true);
  button.SetProperty(SuperBtn::kDrawFocus, false);
  button.SetProperty(SuperBtn::kCaption, Gbk("转到今日"));
  button.SetProperty(SuperBtn::kNormalText, Rgb(255, 255, 0));
  button.SetProperty(SuperBtn::kNormalBackground, Rgb(0, 128, 128));
  button.SetProperty(SuperBtn::kLitText, Rgb(0, 0, 0));
  button.SetProperty(SuperBtn::kLitBackground, Rgb(255, 255, 0));
  button.SetProperty(SuperBtn::kFocusText, Rgb(255, 255, 255));
  button.SetProperty(SuperBtn::kFocusBackground, Rgb(0, 128, 128));
  return button;
}

// Like 主面板状态栏标签: single-line border, one centred line, black on teal.
inline Label& AddStatusStyleLabel(Window& window, const std::string& gbk_text) {
  auto& status = window.Add<Label>(nullptr, "status", Rect{0, 544, 365, 24});
  status.SetProperty(Label::kBorder, 5);
  status.SetProperty(Label::kHorizontalAlign, 1);
  status.SetProperty(Label::kVerticalAlign, 1);
  status.SetProperty(Label::kTextColor, Rgb(0, 0, 0));
  status.SetProperty(Label::kBackground, Rgb(0, 128, 128));
  status.SetText(gbk_text);
  return status;
}

}  // namespace tarnwick::testing
