// The contract suite on the headless backend: input through its simulated
// user, dialogs answered from its script, time moved by the test.
#include <deque>

#include "platform/headless/headless_platform.h"
#include "testing/backend_driver.h"

namespace tarnwick::testing {
namespace {

class HeadlessBackendDriver : public BackendDriver {
 public:
  HeadlessBackendDriver() {
    platform_.headless_dialogs().SetFailureHandler([](const std::string& message) { ADD_FAILURE() << message; });
    platform_.headless_dialogs().SetOnShow([this](const HeadlessDialogs::Shown&) {
      if (while_shown_.empty()) return;
      std::function<void()> run = std::move(while_shown_.front());
      while_shown_.pop_front();
      if (run) run();
    });
  }

  Platform& platform() override { return platform_; }
  std::string name() const override { return "headless"; }

  void ShowActive(NativeWindow& window) override {
    window.Show();
    window.Activate();
    Settle();
  }
  void Settle() override { platform_.loop().ProcessPendingEvents(); }
  void RunFor(int milliseconds) override { platform_.headless_loop().AdvanceTime(milliseconds); }

  void Click(NativeWindow& window, Point client, MouseButton button) override {
    windows().Click(Headless(window), client, button);
  }
  void TurnWheel(NativeWindow& window, Point client, int delta) override {
    windows().MoveMouse(Headless(window), client);
    windows().TurnWheel(delta);
  }
  void PressKey(int key_code, int key_state) override { windows().PressKey(key_code, key_state); }
  void TypeText(std::string_view text) override { windows().TypeText(text); }
  void RequestClose(NativeWindow& window) override { windows().RequestClose(Headless(window)); }

  void AnswerNextMessageBox(MessageResult answer, std::function<void()> while_shown) override {
    platform_.headless_dialogs().ExpectMessageBox("", answer);
    while_shown_.push_back(std::move(while_shown));
  }
  void AnswerNextInputBox(std::optional<std::string> typed) override {
    platform_.headless_dialogs().ExpectInputBox("", std::move(typed));
    while_shown_.push_back({});
  }

  Color PixelAt(const Canvas& canvas, Point at) override {
    return static_cast<const HeadlessCanvas&>(canvas).PixelAt(at.x, at.y);
  }

 private:
  HeadlessWindowSystem& windows() { return platform_.headless_windows(); }
  static HeadlessWindow& Headless(NativeWindow& window) { return static_cast<HeadlessWindow&>(window); }

  HeadlessPlatform platform_;
  std::deque<std::function<void()>> while_shown_;  // one for each armed answer
};

}  // namespace

std::unique_ptr<BackendDriver> MakeBackendDriver() { return std::make_unique<HeadlessBackendDriver>(); }

}  // namespace tarnwick::testing
