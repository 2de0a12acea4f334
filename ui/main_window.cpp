#include "ui/main_window.h"

#include <functional>
#include <map>
#include <set>
#include <stdexcept>

#include "base/text.h"
#include "ui/button.h"
#include "ui/calendar/cn_month_calendar_control.h"
#include "ui/check_box.h"
#include "ui/common_dlg.h"
#include "ui/edit_box.h"
#include "ui/group_box.h"
#include "ui/hyper_linker.h"
#include "ui/images/embedded_images.h"
#include "ui/label.h"
#include "ui/list_box.h"
#include "ui/pic_box.h"
#include "ui/rich_edit.h"
#include "ui/super_btn.h"
#include "ui/timer.h"

namespace tarnwick {
namespace {

Color ToColor(const layout::Rgb& rgb) { return Rgb(rgb.red, rgb.green, rgb.blue); }

Value ColorValue(const std::optional<layout::Rgb>& rgb) {
  if (!rgb) return std::monostate{};
  return ToColor(*rgb);
}

Font ToFont(const layout::Font& font) {
  Font result;
  result.face = Gbk(font.face);
  result.height = font.height;
  result.weight = font.bold ? FontWeight::kBold : FontWeight::kNormal;
  result.charset = font.charset;
  return result;
}

std::string_view Bytes(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The decoded picture of a layout picture; icons at the size the control
// shows them.
Picture LoadPicture(layout::Picture picture) {
  std::optional<Image> image;
  switch (picture) {
    case layout::Picture::kNone: return nullptr;
    case layout::Picture::kEditButtonIcon: image = DecodePicture(Bytes(images::kEditButtonIcon)); break;
    case layout::Picture::kSaveButtonIcon: image = DecodePicture(Bytes(images::kSaveButtonIcon)); break;
    case layout::Picture::kOptionsButtonIcon: image = DecodePicture(Bytes(images::kOptionsButtonIcon)); break;
    case layout::Picture::kSearchPanelButtonIcon:
      image = DecodePicture(Bytes(images::kSearchPanelButtonIcon));
      break;
    case layout::Picture::kSearchButtonIcon: image = DecodeIco(Bytes(images::kSearchButtonIcon), 16); break;
    case layout::Picture::kExportListedPicture: image = DecodePicture(Bytes(images::kExportListedPicture)); break;
    case layout::Picture::kExportAllPicture: image = DecodePicture(Bytes(images::kExportAllPicture)); break;
    case layout::Picture::kSeparatorLinePicture: image = DecodePicture(Bytes(images::kSeparatorLinePicture)); break;
    case layout::Picture::kAboutPicture: image = DecodePicture(Bytes(images::kAboutPicture)); break;
  }
  if (!image) return nullptr;
  return std::make_shared<const Image>(std::move(*image));
}

Rect ToRect(const layout::Rect& rect) { return {rect.left, rect.top, rect.width, rect.height}; }

WindowDesign MainWindowDesign() {
  const layout::Window& design = layout::MainWindow();
  WindowDesign result;
  result.caption = Gbk(design.caption);
  result.rect = ToRect(design.rect);
  result.border_style = 2;  // fixed single border
  result.control_box = true;
  result.minimize_box = false;
  result.maximize_box = false;
  result.start_position = 1;  // centred on the screen
  result.movable = true;
  result.in_taskbar = true;
  result.always_on_top = false;
  result.visible = true;
  result.ends_program_on_close = true;
  return result;
}

WindowDesign DockStripDesign() {
  const layout::Window& design = layout::DockStrip();
  WindowDesign result;
  result.caption = "";
  result.rect = ToRect(design.rect);
  result.border_style = 0;  // no border, no title bar
  result.control_box = false;
  result.background = ToColor(*design.background);
  result.in_taskbar = design.in_task_bar;
  result.always_on_top = design.always_on_top;
  result.visible = design.visible_when_loaded;
  // Shown when the user turns to another program: it must not take the
  // activation back from it.
  result.takes_activation = false;
  return result;
}

// The event number a binding's event is raised as on its control's kind.
int EventNumber(layout::Event event) {
  switch (event) {
    case layout::Event::kCreated: return Window::kCreated;
    case layout::Event::kQueryClose: return Window::kQueryClose;
    case layout::Event::kDeactivated: return Window::kDeactivated;
    case layout::Event::kLeftButtonPressed: return event::kLeftButtonDown;
    case layout::Event::kDoubleClicked: return event::kDoubleClick;
    case layout::Event::kRightButtonPressed: return event::kRightButtonDown;
    case layout::Event::kGotFocus: return event::kGotFocus;
    case layout::Event::kKeyPressed: return event::kKeyDown;
    case layout::Event::kWheelScrolled: return event::kWheelScrolled;
    case layout::Event::kClicked: return 0;
    case layout::Event::kSelectionChanged: return ListBox::kSelectionChanged;
    case layout::Event::kTick: return 0;
    case layout::Event::kChosen: return 0;
    case layout::Event::kDayClicked: return CnMonthCalendarControl::kDayClicked;
    case layout::Event::kDayHovered: return CnMonthCalendarControl::kDayHovered;
    case layout::Event::kDateChanged: return CnMonthCalendarControl::kDateChanged;
  }
  return 0;
}

// Calls an optional entry point; an empty one does nothing.
template <class Function, class... Args>
void Call(const Function& function, Args&&... args) {
  if (function) function(std::forward<Args>(args)...);
}

}  // namespace

void HandlerSlotBase::FilledTwice() const {
  throw std::logic_error(std::string("handler filled twice: ") + name_);
}

void HandlerSlotBase::FilledWithNothing() const {
  throw std::logic_error(std::string("handler filled with nothing: ") + name_);
}

void MainWindowHandlers::CheckAllFilled() const {
  for (const HandlerSlotBase* slot : every_slot_) {
    if (!slot->filled()) throw std::logic_error(std::string("handler that no part fills: ") + slot->name());
  }
}

MainWindow::MainWindow(Platform& platform) : platform_(platform) {
  window_ = std::make_unique<Window>(platform_, std::string(layout::kMainWindowName), MainWindowDesign());
  dock_strip_ = std::make_unique<Window>(platform_, std::string(layout::kDockStripName), DockStripDesign());
  for (const layout::MenuItem& item : layout::MenuItems()) {
    if (item.level == 0) {
      menu_ = std::make_unique<MenuItem>(std::string(item.name), Gbk(item.caption));
    } else {
      menu_->AddItem(std::string(item.name), Gbk(item.caption));
    }
  }
  CreateControls();
  controls_ = std::make_unique<MainWindowControls>(ResolveControls());
  BuildEntryPoints();
  WireBindings();
}

MainWindow::~MainWindow() = default;

void MainWindow::Load() { window_->Load(); }

void MainWindow::CreateControls() {
  for (const layout::Control& design : layout::Controls()) CreateControl(design);
  // 超级按钮1 lies over the calendar's lower edge and is drawn above it.
  if (Control* today = Find("超级按钮1")) today->BringToFront();
}

void MainWindow::CreateControl(const layout::Control& design) {
  Control* parent = design.parent.empty() ? nullptr : Find(design.parent);
  std::string name(design.name);
  Rect rect = ToRect(design.rect);
  ControlFlags flags;
  flags.visible = design.visible;
  flags.disabled = !design.enabled;
  flags.tab_stop = design.tab_stop;
  Window& w = *window_;
  std::string text = Gbk(design.text);

  switch (design.kind) {
    case layout::Kind::kCnMonthCalendar: {
      CnMonthCalendar::Options options;
      options.display_mode = design.display_mode;
      // The date stored with the layout; the start-up moves to today.
      options.initial_date = GregorianDate{2011, 3, 28};
      calendar_ = &w.Add<CnMonthCalendarControl>(parent, name, rect, flags, options);
      break;
    }
    case layout::Kind::kSuperBtn: {
      SuperBtn& button = w.Add<SuperBtn>(parent, name, rect, flags);
      button.SetProperty(SuperBtn::kStyle, design.button_style == layout::ButtonStyle::kFlat
                                               ? static_cast<int>(SuperBtn::Look::kFlat)
                                               : static_cast<int>(SuperBtn::Look::kThreeDimensional));
      button.SetProperty(SuperBtn::kPlacement, design.placement == layout::ImagePlacement::kImageLeft
                                                   ? static_cast<int>(SuperBtn::Placement::kImageLeft)
                                                   : static_cast<int>(SuperBtn::Placement::kImageAbove));
      button.SetProperty(SuperBtn::kDrawBorder, design.draw_border);
      button.SetProperty(SuperBtn::kDrawFocus, design.draw_focus);
      if (Picture picture = LoadPicture(design.picture)) button.SetProperty(SuperBtn::kNormalPicture, picture);
      if (design.font) button.SetProperty(SuperBtn::kFont, ToFont(*design.font));
      button.SetProperty(SuperBtn::kCaption, text);
      button.SetProperty(SuperBtn::kUseDefaultColors, design.use_default_colours);
      const layout::ButtonColours& colours = design.colours;
      button.SetProperty(SuperBtn::kNormalText, ColorValue(colours.normal_text));
      button.SetProperty(SuperBtn::kNormalBackground, ColorValue(colours.normal_background));
      button.SetProperty(SuperBtn::kLitText, ColorValue(colours.lit_text));
      button.SetProperty(SuperBtn::kLitBackground, ColorValue(colours.lit_background));
      button.SetProperty(SuperBtn::kFocusText, ColorValue(colours.focus_text));
      button.SetProperty(SuperBtn::kFocusBackground, ColorValue(colours.focus_background));
      button.SetProperty(SuperBtn::kToolTip, Gbk(design.tooltip));
      break;
    }
    case layout::Kind::kRichEdit: {
      RichEdit& editor = w.Add<RichEdit>(parent, name, rect, flags);
      editor.SetProperty(RichEdit::kContentFormat, 0);  // plain text
      editor.SetProperty(RichEdit::kContent, text);
      editor.SetProperty(RichEdit::kBorder, static_cast<int>(design.border));
      editor.SetProperty(RichEdit::kBackground, ColorValue(design.background));
      editor.SetProperty(RichEdit::kMultiLine, design.multi_line);
      editor.SetProperty(RichEdit::kWordWrap, design.word_wrap);
      editor.SetProperty(RichEdit::kReadOnly, design.read_only);
      editor.SetProperty(RichEdit::kHideSelection, design.hide_selection);
      editor.SetProperty(RichEdit::kMaxLength, 0);
      break;
    }
    case layout::Kind::kGroupBox: {
      w.Add<GroupBox>(parent, name, rect, flags).SetProperty(GroupBox::kCaption, text);
      break;
    }
    case layout::Kind::kLabel: {
      Label& label = w.Add<Label>(parent, name, rect, flags);
      label.SetProperty(Label::kText, text);
      label.SetProperty(Label::kBorder, static_cast<int>(design.border));
      label.SetProperty(Label::kTextColor, ColorValue(design.text_colour));
      label.SetProperty(Label::kBackground, ColorValue(design.background));
      if (Picture picture = LoadPicture(design.picture)) label.SetProperty(Label::kPicture, picture);
      label.SetProperty(Label::kHorizontalAlign, static_cast<int>(design.align));
      if (design.font) label.SetProperty(Label::kFont, ToFont(*design.font));
      label.SetProperty(Label::kWordWrap, design.word_wrap);
      label.SetProperty(Label::kVerticalAlign, 1);  // centred, when on one line
      break;
    }
    case layout::Kind::kListBox: {
      ListBox& list = w.Add<ListBox>(parent, name, rect, flags);
      list.SetProperty(ListBox::kBorder, static_cast<int>(design.border));
      list.SetProperty(ListBox::kSorted, design.sorted);
      list.SetProperty(ListBox::kMultiColumn, false);
      list.SetProperty(ListBox::kItemSpacing, design.item_spacing);
      list.SetProperty(ListBox::kTextColor, ColorValue(design.text_colour));
      list.SetProperty(ListBox::kBackground, ColorValue(design.background));
      if (design.font) list.SetProperty(ListBox::kFont, ToFont(*design.font));
      list.SetProperty(ListBox::kMultiSelect, false);
      break;
    }
    case layout::Kind::kEditBox: {
      EditBox& edit = w.Add<EditBox>(parent, name, rect, flags);
      edit.SetProperty(EditBox::kText, text);
      edit.SetProperty(EditBox::kBorder, static_cast<int>(design.border));
      edit.SetProperty(EditBox::kTextColor, ColorValue(design.text_colour));
      edit.SetProperty(EditBox::kBackground, ColorValue(design.background));
      break;
    }
    case layout::Kind::kButton: {
      Button& button = w.Add<Button>(parent, name, rect, flags);
      button.SetProperty(Button::kCaption, text);
      if (Picture icon = LoadPicture(design.picture)) button.SetProperty(Button::kIcon, icon);
      break;
    }
    case layout::Kind::kCheckBox: {
      CheckBox& box = w.Add<CheckBox>(parent, name, rect, flags);
      box.SetProperty(CheckBox::kCaption, text);
      box.SetProperty(CheckBox::kChecked, false);
      break;
    }
    case layout::Kind::kPicBox: {
      PicBox& box = w.Add<PicBox>(parent, name, rect, flags);
      if (Picture picture = LoadPicture(design.picture)) box.SetProperty(PicBox::kPicture, picture);
      box.SetProperty(PicBox::kBorder, static_cast<int>(design.border));
      box.SetProperty(PicBox::kPlacement, 0);  // scaled down to fit, centred
      break;
    }
    case layout::Kind::kHyperLinker: {
      HyperLinker& link = w.Add<HyperLinker>(parent, name, rect, flags);
      link.SetProperty(HyperLinker::kCaption, text);
      link.SetProperty(HyperLinker::kLinkKind, static_cast<int>(design.link_kind));
      bool mail = design.link_kind == layout::LinkKind::kMail;
      link.SetProperty(mail ? HyperLinker::kMailAddress : HyperLinker::kWebAddress, Gbk(design.link_address));
      link.SetProperty(HyperLinker::kLinkColor, ToColor(design.link_colours[0]));
      link.SetProperty(HyperLinker::kVisitedColor, ToColor(design.link_colours[1]));
      link.SetProperty(HyperLinker::kHoverColor, ToColor(design.link_colours[2]));
      break;
    }
    case layout::Kind::kCommonDlg:
      w.Add<CommonDlg>(parent, name, rect, flags);
      break;
    case layout::Kind::kTimer:
      w.Add<Timer>(parent, name, rect, flags).SetProperty(Timer::kInterval, design.interval_ms);
      break;
    case layout::Kind::kDBProvider:
    case layout::Kind::kDataSrc:
    case layout::Kind::kSupperMenu:
      // Nothing uses the database components, and menus keep the look the
      // window system gives them.
      break;
  }
}

// The table from entry-point names to the entry points; each answers what
// the control's event handler answers. The entries look the entry point up
// when called, so handlers may be filled in after the window exists.
void MainWindow::BuildEntryPoints() {
  MainWindowHandlers& h = handlers_;
  using Entry = std::function<bool(const EventArgs&)>;
  auto plain = [](const HandlerSlot<void()>& function) -> Entry {
    return [&function](const EventArgs&) {
      Call(function);
      return true;
    };
  };
  auto pointer = [](const HandlerSlot<void(int, int, int)>& function) -> Entry {
    return [&function](const EventArgs& a) {
      Call(function, ArgInt(a, 0), ArgInt(a, 1), ArgInt(a, 2));
      return true;
    };
  };
  entry_points_ = {
      {"StartUp", plain(h.StartUp)},
      {"QueryShutDown", [&h](const EventArgs&) { return h.QueryShutDown ? h.QueryShutDown() : true; }},
      {"HideIntoDockStrip",
       [&h](const EventArgs& a) {
         Call(h.HideIntoDockStrip, ArgBool(a, 0));
         return true;
       }},
      {"ComeBackFromDockStrip", pointer(h.ComeBackFromDockStrip)},
      {"CalendarDayClicked", plain(h.CalendarDayClicked)},
      {"CalendarDayHovered",
       [&h](const EventArgs& a) {
         Call(h.CalendarDayHovered, LunarDate{ArgInt(a, 0), ArgInt(a, 1), ArgInt(a, 2), ArgBool(a, 3)});
         return true;
       }},
      {"CalendarDateChanged", plain(h.CalendarDateChanged)},
      {"CalendarWheelScrolled",
       [&h](const EventArgs& a) {
         Call(h.CalendarWheelScrolled, ArgInt(a, 0), ArgInt(a, 1));
         return true;
       }},
      {"GoToToday", plain(h.GoToToday)},
      {"EditorRightButtonPressed",
       [&h](const EventArgs& a) {
         return h.EditorRightButtonPressed ? h.EditorRightButtonPressed(ArgInt(a, 0), ArgInt(a, 1), ArgInt(a, 2))
                                           : true;
       }},
      {"EditorKeyPressed",
       [&h](const EventArgs& a) { return h.EditorKeyPressed ? h.EditorKeyPressed(ArgInt(a, 0), ArgInt(a, 1)) : true; }},
      {"EditClicked", plain(h.EditClicked)},
      {"SaveClicked", plain(h.SaveClicked)},
      {"ToggleOptionsPanel",
       [this](const EventArgs&) {
         ToggleOptionsPanel();
         return true;
       }},
      {"ToggleSidePanels",
       [this](const EventArgs&) {
         ToggleSidePanels();
         return true;
       }},
      {"ClearAllRecords", pointer(h.ClearAllRecords)},
      {"MonthListSelectionChanged", plain(h.MonthListSelectionChanged)},
      {"MonthListGotFocus", plain(h.MonthListGotFocus)},
      {"KeywordKeyPressed",
       [&h](const EventArgs& a) {
         return h.KeywordKeyPressed ? h.KeywordKeyPressed(ArgInt(a, 0), ArgInt(a, 1)) : true;
       }},
      {"SearchClicked", plain(h.SearchClicked)},
      {"SearchResultSelectionChanged", plain(h.SearchResultSelectionChanged)},
      {"SearchResultGotFocus", plain(h.SearchResultGotFocus)},
      {"ExportListedClicked", plain(h.ExportListedClicked)},
      {"ExportAllClicked", plain(h.ExportAllClicked)},
      {"AlignmentTick", plain(h.AlignmentTick)},
      {"PasswordCheckBoxClicked", plain(h.PasswordCheckBoxClicked)},
      {"MenuCopy", plain(h.MenuCopy)},
      {"MenuPaste", plain(h.MenuPaste)},
      {"MenuCut", plain(h.MenuCut)},
      {"MenuDelete", plain(h.MenuDelete)},
      {"MenuSelectAll", plain(h.MenuSelectAll)},
  };
}

bool MainWindow::CallEntryPoint(std::string_view handler, const EventArgs& args) {
  return entry_points_.find(handler)->second(args);
}

// A binding that cannot reach its control or entry point is a fault of the
// program, found when the window is built rather than as a dead control.
void MainWindow::WireBindings() {
  std::set<std::string_view> reached;
  for (const layout::Binding& binding : layout::Bindings()) {
    if (!entry_points_.contains(binding.handler)) {
      throw std::logic_error("binding to an unknown entry point: " + std::string(binding.handler));
    }
    reached.insert(binding.handler);
    int number = EventNumber(binding.event);
    std::string handler(binding.handler);
    auto call = [this, handler](const EventArgs& args) { return CallEntryPoint(handler, args); };
    Control* target = nullptr;
    if (binding.control == layout::kMainWindowName) {
      target = window_.get();
    } else if (binding.control == layout::kDockStripName) {
      target = dock_strip_.get();
    } else if (binding.event == layout::Event::kChosen) {
      MenuItem* item = menu_->Find(binding.control);
      if (item == nullptr) throw std::logic_error("binding of an unknown menu item: " + std::string(binding.control));
      item->SetHandler(call);
      wired_.push_back({std::string(binding.control), number, handler});
      continue;
    } else {
      target = Find(binding.control);
    }
    if (target == nullptr) throw std::logic_error("binding of an unknown control: " + std::string(binding.control));
    target->SetHandler(number, call);
    wired_.push_back({std::string(binding.control), number, handler});
  }
  for (const auto& [name, entry] : entry_points_) {
    if (!reached.contains(name)) throw std::logic_error("entry point without a binding: " + name);
  }
}

namespace {

template <class Kind>
Kind& Resolve(const Window& window, std::string_view name) {
  Kind* control = window.FindAs<Kind>(name);
  if (control == nullptr) throw std::logic_error("the window has no control " + std::string(name) + " of its kind");
  return *control;
}

}  // namespace

MainWindowControls MainWindow::ResolveControls() const {
  const Window& w = *window_;
  return MainWindowControls{
      .主窗口 = *window_,
      .DockStrip = *dock_strip_,
      .日历 = Resolve<CnMonthCalendarControl>(w, "日历"),
      .超级按钮1 = Resolve<SuperBtn>(w, "超级按钮1"),
      .备忘编辑框 = Resolve<RichEdit>(w, "备忘编辑框"),
      .编辑按钮 = Resolve<SuperBtn>(w, "编辑按钮"),
      .保存按钮 = Resolve<SuperBtn>(w, "保存按钮"),
      .主面板状态栏标签 = Resolve<Label>(w, "主面板状态栏标签"),
      .备忘列表分组框 = Resolve<GroupBox>(w, "备忘列表分组框"),
      .本月备忘列表框 = Resolve<ListBox>(w, "本月备忘列表框"),
      .搜索内容编辑框 = Resolve<EditBox>(w, "搜索内容编辑框"),
      .搜索按钮 = Resolve<Button>(w, "搜索按钮"),
      .标签5 = Resolve<Label>(w, "标签5"),
      .搜索结果列表框 = Resolve<ListBox>(w, "搜索结果列表框"),
      .通用对话框 = Resolve<CommonDlg>(w, "通用对话框"),
      .导出以上按钮 = Resolve<SuperBtn>(w, "导出以上按钮"),
      .导出全库按钮 = Resolve<SuperBtn>(w, "导出全库按钮"),
      .搜索面板状态栏标签 = Resolve<Label>(w, "搜索面板状态栏标签"),
      .密码设置选择框 = Resolve<CheckBox>(w, "密码设置选择框"),
      .对齐时钟 = Resolve<Timer>(w, "对齐时钟"),
  };
}

void MainWindow::ToggleOptionsPanel() {
  int height = window_->outer_rect().height;
  window_->SetProperty(property::kHeight, height < 600 ? kTallHeight : kNormalHeight);
}

bool MainWindow::SidePanelsShown() const { return window_->outer_rect().width >= 380; }

void MainWindow::ToggleSidePanels() {
  Call(handlers_.SidePanelsToggling);
  if (!SidePanelsShown()) {
    window_->SetProperty(property::kWidth, kWideWidth);
    controls_->搜索内容编辑框.SetFocus();
    controls_->本月备忘列表框.Clear();
    Call(handlers_.RebuildMonthList);
  } else {
    window_->SetProperty(property::kWidth, kNormalWidth);
  }
}

}  // namespace tarnwick
