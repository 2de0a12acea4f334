// The widget behaviour tests on the headless backend.
#include "platform/headless/headless_platform.h"
#include "testing/ui_driver.h"

namespace tarnwick::testing {
namespace {

class HeadlessUiDriver : public UiDriver {
 public:
  HeadlessUiDriver() {
    platform_.headless_dialogs().SetFailureHandler([](const std::string& message) { ADD_FAILURE() << message; });
  }

  Platform& platform() override { return platform_; }
  std::string backend() const override { return "headless"; }

  void WaitUntilShown(Window&) override { Settle(); }

  void MovePointer(Window& window, Point client) override { windows().MoveMouse(Native(window), client); }
  void PressButton(Window& window, Point client, MouseButton button, int key_state) override {
    windows().PressMouse(Native(window), client, button, key_state);
  }
  void ReleaseButton(Window& window, Point client, MouseButton button, int key_state) override {
    windows().ReleaseMouse(Native(window), client, button, key_state);
  }
  void Click(Window& window, Point client, MouseButton button, int key_state) override {
    windows().Click(Native(window), client, button, key_state);
  }
  void DoubleClick(Window& window, Point client) override { windows().DoubleClick(Native(window), client); }
  void MovePointerAway(Window&) override { windows().MoveMouseAway(); }

  void TurnWheel(int delta, int key_state) override { windows().TurnWheel(delta, key_state); }
  void KeyDown(int key_code, int key_state) override { windows().KeyDown(key_code, key_state); }
  void PressKey(int key_code, int key_state) override { windows().PressKey(key_code, key_state); }
  void TypeText(std::string_view text) override { windows().TypeText(text); }
  void AnswerNextMessageBox(MessageResult answer) override { dialogs().ExpectMessageBox("", answer); }
  void AnswerNextInputBox(std::optional<std::string> typed) override { dialogs().ExpectInputBox("", typed); }
  void AnswerNextPopupMenu(std::string caption) override { dialogs().ExpectPopupMenu(caption); }
  std::vector<ShownDialog> ShownDialogs() override {
    std::vector<ShownDialog> all;
    for (const HeadlessDialogs::Shown& shown : dialogs().shown()) {
      ShownDialog dialog;
      dialog.title = shown.title;
      dialog.text = shown.kind == HeadlessDialogs::Kind::kPopupMenu ? std::string() : shown.text;
      dialog.buttons = shown.buttons;
      dialog.owned = shown.owned;
      dialog.masked = shown.masked;
      dialog.confirm_caption = shown.confirm_caption;
      dialog.cancel_caption = shown.cancel_caption;
      dialog.menu = shown.menu;
      dialog.position = shown.position;
      all.push_back(dialog);
    }
    return all;
  }

  void RequestClose(Window& window) override { windows().RequestClose(Native(window)); }
  void Settle() override { platform_.loop().ProcessPendingEvents(); }

  Color PixelAt(const Control& control, Point local) override {
    HeadlessSurface* surface = SurfaceOf(control);
    if (surface == nullptr) {
      ADD_FAILURE() << control.name() << " draws no pixels of its own here";
      return {};
    }
    Settle();
    return surface->PixelAt(local.x, local.y);
  }

  // Text leaves no pixels on this backend: the drawing calls tell.
  bool ShowsTextIn(const Control& control, Color color) override {
    HeadlessSurface* surface = SurfaceOf(control);
    if (surface == nullptr) return false;
    surface->InvalidateAll();
    surface->PaintIfInvalid();
    for (const DrawOp& op : surface->last_paint_ops()) {
      if (op.kind == DrawOp::Kind::kText && op.color == color && !StripMnemonic(op.text).empty()) return true;
    }
    return false;
  }

  const Control* ControlAt(Window& window, Point client) override {
    for (HeadlessNode* node = windows().NodeAt(Native(window), client); node != nullptr;
         node = node->parent_node()) {
      for (const auto& control : window.controls()) {
        if (control->native() != nullptr && dynamic_cast<HeadlessNode*>(control->native()) == node) {
          return control.get();
        }
      }
    }
    return nullptr;
  }

  std::string ToolTip(const Control& control) override {
    HeadlessNode* node = dynamic_cast<HeadlessNode*>(control.native());
    return node == nullptr ? std::string() : node->tooltip();
  }
  bool IsShown(const Control& control) override {
    HeadlessNode* node = dynamic_cast<HeadlessNode*>(control.native());
    return node != nullptr && node->IsShown();
  }

 private:
  HeadlessWindowSystem& windows() { return platform_.headless_windows(); }
  HeadlessDialogs& dialogs() { return platform_.headless_dialogs(); }
  static HeadlessWindow& Native(Window& window) { return static_cast<HeadlessWindow&>(window.native_window()); }
  static HeadlessSurface* SurfaceOf(const Control& control) { return dynamic_cast<HeadlessSurface*>(control.native()); }

  HeadlessPlatform platform_;
};

}  // namespace

std::unique_ptr<UiDriver> MakeUiDriver() { return std::make_unique<HeadlessUiDriver>(); }

}  // namespace tarnwick::testing
