#include "testing/backend_driver.h"

#include <cstdio>

namespace tarnwick::testing {
namespace {

std::string& SharedTrace() {
  static std::string trace;
  return trace;
}

TraceRecorder& SharedWindowListener() {
  static TraceRecorder listener("win", SharedTrace());
  return listener;
}

struct Shared {
  std::unique_ptr<BackendDriver> driver = MakeBackendDriver();
  std::unique_ptr<NativeWindow> window = driver->platform().windows().CreateTopLevelWindow(
      WindowStyle{}, {50, 50, 371, 596}, "main", SharedWindowListener());
};

Shared& TheShared() {
  static Shared* shared = new Shared;  // lives as long as the program: windows outlast every test
  return *shared;
}

}  // namespace

bool TraceRecorder::OnMouse(const MouseEvent& event) {
  if (record_mouse && (event.action == MouseAction::kPress || event.action == MouseAction::kRelease)) {
    const char* buttons[] = {"", "L", "R", "M"};
    Add(std::string(event.action == MouseAction::kPress ? "press" : "release") +
        buttons[static_cast<int>(event.button)] + "(" + std::to_string(event.position.x) + "," +
        std::to_string(event.position.y) + ")");
  }
  return mouse_answer;
}

bool TraceRecorder::OnWheel(const WheelEvent& event) {
  Add("wheel" + std::to_string(event.delta));
  return true;
}

bool TraceRecorder::OnKey(const KeyEvent& event) {
  if (record_keys && event.down) Add("down" + std::to_string(event.key_code));
  return key_answer;
}

bool TraceRecorder::OnCharacter(std::uint32_t code) {
  if (record_keys) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "char%X", static_cast<unsigned>(code));
    Add(hex);
  }
  return key_answer;
}

void TraceRecorder::OnPaint(Canvas& canvas, const Rect& dirty) {
  canvas.FillRect(dirty, Rgb(255, 0, 0));
  painted.push_back(dirty);
}

bool TraceRecorder::OnMnemonicKey(const KeyEvent& event) {
  Add("mnemonic" + std::to_string(event.key_code));
  return mnemonic_answer;
}

void TraceRecorder::Reset() {
  record_focus = true;
  record_mouse = record_keys = false;
  mouse_answer = key_answer = true;
  mnemonic_answer = false;
  painted.clear();
}

std::string& BackendContractTest::trace_ = SharedTrace();
TraceRecorder& BackendContractTest::window_listener_ = SharedWindowListener();

BackendDriver& BackendContractTest::driver() { return *TheShared().driver; }

void BackendContractTest::SetUp() {
  window_ = TheShared().window.get();
  ASSERT_NE(window_, nullptr);
  window_->SetOuterRect({50, 50, 371, 596});
  driver().ShowActive(*window_);
  window_listener_.Reset();
  trace_.clear();
}

void BackendContractTest::TearDown() {
  driver().Settle();
  window_listener_.Reset();
}

}  // namespace tarnwick::testing
