// The main window's layout as data: every control with its name, kind,
// parent, rectangle and design-time properties, in creation order; the popup
// menu items; the second window DockStrip; the event bindings.
//
// The table is what the window is built from (main_window.h) and what tests
// compare against; it holds no behaviour. Texts are UTF-8 here (they are
// source literals); the builder converts them to GBK.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tarnwick::layout {

enum class Kind {
  kCnMonthCalendar,
  kSuperBtn,
  kRichEdit,
  kGroupBox,
  kLabel,
  kListBox,
  kEditBox,
  kButton,
  kCheckBox,
  kPicBox,
  kHyperLinker,
  kCommonDlg,
  kTimer,
  kDBProvider,
  kDataSrc,
  kSupperMenu,
};

struct Rgb {
  std::uint8_t red = 0, green = 0, blue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct Font {
  std::string_view face;  // empty: the default GUI font
  int height = 0;         // pixels
  bool bold = false;
  int charset = 0;        // 134 = GB2312
};

inline constexpr int kGb2312Charset = 134;

// The pictures of ui/images/, by purpose.
enum class Picture {
  kNone,
  kEditButtonIcon,
  kSaveButtonIcon,
  kOptionsButtonIcon,
  kSearchPanelButtonIcon,
  kSearchButtonIcon,
  kExportListedPicture,
  kExportAllPicture,
  kSeparatorLinePicture,
  kAboutPicture,
};

enum class ButtonStyle { kFlat, kThreeDimensional };
enum class ImagePlacement { kImageLeft, kImageAbove };
// Borders, numbered as the label, list box and edit box number them.
enum class Border { kNone = 0, kSunken = 1, kSingleLine = 5 };
enum class HorizontalAlign { kLeft = 0, kCentre = 1 };
enum class LinkKind { kMail = 0, kWeb = 1 };

// SuperBtn state colours; an empty slot means the system colour.
struct ButtonColours {
  std::optional<Rgb> normal_text, normal_background;
  std::optional<Rgb> lit_text, lit_background;
  std::optional<Rgb> focus_text, focus_background;
};

struct Control {
  std::string_view name;
  Kind kind;
  std::string_view parent;  // empty: the main window's client area
  Rect rect;
  bool visible = true;
  bool enabled = true;
  bool tab_stop = false;  // reachable with the Tab key

  std::string_view text;  // caption, label text, group caption
  std::string_view tooltip;
  std::optional<Font> font;  // empty: the default font
  std::optional<Rgb> text_colour;
  std::optional<Rgb> background;

  // SuperBtn
  ButtonStyle button_style = ButtonStyle::kThreeDimensional;
  ImagePlacement placement = ImagePlacement::kImageLeft;
  bool draw_border = true;
  bool draw_focus = false;
  bool use_default_colours = false;
  ButtonColours colours;
  Picture picture = Picture::kNone;  // normal image / icon / background picture

  // RichEdit, ListBox, EditBox, Label
  Border border = Border::kNone;
  bool read_only = false, multi_line = false, word_wrap = false;
  bool hide_selection = false;
  bool sorted = false;
  int item_spacing = 0;
  HorizontalAlign align = HorizontalAlign::kLeft;

  // HyperLinker
  LinkKind link_kind = LinkKind::kWeb;
  std::string_view link_address;
  Rgb link_colours[3] = {};

  // Timer
  int interval_ms = 0;

  // CnMonthCalendar
  int display_mode = 0;
};

struct MenuItem {
  std::string_view name;
  std::string_view caption;  // "-" is a separator
  int level = 0;             // 0 top item, 1 its sub-items
};

struct Window {
  std::string_view name;
  std::string_view caption;
  Rect rect;  // outer frame, screen coordinates
  bool has_frame = true;
  bool visible_when_loaded = true;
  bool in_task_bar = true;
  bool always_on_top = false;
  std::optional<Rgb> background;
};

// Event names of the binding table, as the widget kinds name them.
enum class Event {
  kCreated,
  kQueryClose,
  kDeactivated,
  kLeftButtonPressed,   // common -1
  kDoubleClicked,       // common -3
  kRightButtonPressed,  // common -4
  kGotFocus,            // common -7
  kKeyPressed,          // common -9
  kWheelScrolled,       // common -12
  kClicked,             // own event 0 of buttons, check box; "被单击"
  kSelectionChanged,    // list box event 0
  kTick,                // timer event 0
  kChosen,              // menu item event 0
  kDayClicked,
  kDayHovered,
  kDateChanged,
};

struct Binding {
  std::string_view control;  // a control, a menu item caption, or a window name
  Event event;
  std::string_view handler;  // the entry point of MainWindowHandlers it calls
};

inline constexpr std::string_view kMainWindowName = "主窗口";
inline constexpr std::string_view kDockStripName = "DockStrip";
inline constexpr std::string_view kInitialCaption = "Tarnwick V2.8 beta  ";

const Window& MainWindow();
const Window& DockStrip();
// Every control of the main window in creation order (group boxes before
// their children).
const std::vector<Control>& Controls();
const Control* FindControl(std::string_view name);
// The popup menu: the top item "菜单" and its sub-items, in order.
const std::vector<MenuItem>& MenuItems();
// Every event the program handles; all others are ignored.
const std::vector<Binding>& Bindings();

}  // namespace tarnwick::layout
