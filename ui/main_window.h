// The memo book's main window and its second window DockStrip, built from
// the layout table (main_window_layout.h): every control in place with its
// design-time state, the popup menu items, the event bindings wired to the
// named entry points of MainWindowHandlers, and the two panel toggles.
//
// Promises:
// - Creating it creates both windows and every control but shows nothing;
//   Load() raises created (StartUp) and shows the main window, centred on
//   the screen. DockStrip is created hidden; the program's start-up loads it.
// - Every binding of the layout calls its entry point; an empty entry point
//   does nothing. No other event is handled. A binding whose control or
//   entry point does not exist, an entry point no binding reaches, and a
//   control of the typed set (main_window_controls.h) that is missing or of
//   another kind make the constructor throw std::logic_error naming it.
// - The window's width and height take only the sizes the layout allows;
//   the toggles change only one of them each.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "ui/main_window_controls.h"
#include "ui/main_window_handlers.h"
#include "ui/main_window_layout.h"
#include "ui/menu.h"
#include "ui/window.h"

namespace tarnwick {

class CnMonthCalendarControl;

// One wired binding: the control (or window, or menu item), the event number
// it is raised as, and the entry point it calls.
struct WiredBinding {
  std::string control;
  int event = 0;
  std::string handler;
  friend bool operator==(const WiredBinding&, const WiredBinding&) = default;
};

class MainWindow {
 public:
  // Outer sizes the window takes.
  static constexpr int kNormalWidth = 371;
  static constexpr int kWideWidth = 664;
  static constexpr int kNormalHeight = 596;
  static constexpr int kTallHeight = 695;
  static constexpr int kLockedHeight = 290;
  // Taller than this, the window is unlocked and gets its normal captions.
  static constexpr int kLockedHeightLimit = 310;

  // The window's three captions (UTF-8): as designed, while locked, and
  // once unlocked at full height; and the two of 超级按钮1.
  static constexpr std::string_view kDesignedCaption = layout::kInitialCaption;
  static constexpr std::string_view kLockedCaption = "Tarnwick V2.8 beta 加密状态，请先解锁程序";
  static constexpr std::string_view kUnlockedCaption = "Tarnwick V2.8 Beta";
  static constexpr std::string_view kGoToTodayCaption = "转到今日";
  static constexpr std::string_view kUnlockCaption = "解锁程序";

  explicit MainWindow(Platform& platform);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // The entry points; fill them in at any time, the bindings look them up
  // when the event comes.
  MainWindowHandlers& handlers() { return handlers_; }

  Window& window() { return *window_; }
  Window& dock_strip() { return *dock_strip_; }
  // The controls the behaviour acts on.
  const MainWindowControls& controls() const { return *controls_; }
  // A control by its layout name (UTF-8); nullptr when there is none.
  Control* Find(std::string_view name) const { return window_->Find(name); }
  template <class Kind>
  Kind* FindAs(std::string_view name) const {
    return window_->FindAs<Kind>(name);
  }
  CnMonthCalendarControl& calendar() const { return *calendar_; }

  // Loads the main window: created (StartUp), then shown.
  void Load();

  // Options panel toggle (选项面板按钮): height 695 when below 600, else 596.
  void ToggleOptionsPanel();
  // Side panel toggle (搜索面板按钮): SidePanelsToggling first, then width 664 (focus to the keyword box, month list emptied and
  // refilled) when below 380, else 371.
  void ToggleSidePanels();
  // Whether the window is wide enough to show the side panels.
  bool SidePanelsShown() const;

  // The popup menu's top item "菜单" (never shown itself) with its items.
  MenuItem& menu() { return *menu_; }

  // Every binding as wired, in the layout's order.
  const std::vector<WiredBinding>& wired_bindings() const { return wired_; }

 private:
  void CreateControls();
  void CreateControl(const layout::Control& design);
  void BuildEntryPoints();
  void WireBindings();
  MainWindowControls ResolveControls() const;
  bool CallEntryPoint(std::string_view handler, const EventArgs& args);

  Platform& platform_;
  MainWindowHandlers handlers_;
  std::unique_ptr<Window> window_;
  std::unique_ptr<Window> dock_strip_;
  CnMonthCalendarControl* calendar_ = nullptr;
  std::unique_ptr<MainWindowControls> controls_;
  std::unique_ptr<MenuItem> menu_;
  std::vector<WiredBinding> wired_;
  std::map<std::string, std::function<bool(const EventArgs&)>, std::less<>> entry_points_;
};

}  // namespace tarnwick
