#include "ui/main_window_layout.h"

namespace tarnwick::layout {
namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kTeal{0, 128, 128};
constexpr Rgb kYellow{255, 255, 0};
constexpr Rgb kPaleYellow{255, 255, 128};
constexpr Rgb kNavy{0, 0, 128};
constexpr Rgb kPaleGreen{128, 255, 128};
constexpr Rgb kPaleCyan{128, 255, 255};
constexpr Font kSong14{"宋体", 14, false, kGb2312Charset};
constexpr Font kSong12{"宋体", 12, false, kGb2312Charset};

Control Make(std::string_view name, Kind kind, std::string_view parent, Rect rect) {
  Control control;
  control.name = name;
  control.kind = kind;
  control.parent = parent;
  control.rect = rect;
  return control;
}

// Black text in every state; the background is the system's except while lit.
ButtonColours BlackTextLitOn(Rgb lit_background) {
  ButtonColours colours;
  colours.normal_text = colours.lit_text = colours.focus_text = kBlack;
  colours.lit_background = lit_background;
  return colours;
}

// The four buttons of the button bar share one look.
Control BarButton(std::string_view name, Rect rect, std::string_view caption,
                  std::string_view tooltip, Picture icon) {
  Control c = Make(name, Kind::kSuperBtn, "分组框2", rect);
  c.tab_stop = true;
  c.text = caption;
  c.tooltip = tooltip;
  c.font = kSong12;
  c.button_style = ButtonStyle::kThreeDimensional;
  c.placement = ImagePlacement::kImageLeft;
  c.colours = BlackTextLitOn(kPaleYellow);
  c.picture = icon;
  return c;
}

// The spare and export buttons of the side panels.
Control SideButton(std::string_view name, std::string_view parent, Rect rect,
                   std::string_view caption, std::string_view tooltip, Picture picture) {
  Control c = Make(name, Kind::kSuperBtn, parent, rect);
  c.tab_stop = true;
  c.text = caption;
  c.tooltip = tooltip;
  c.button_style = ButtonStyle::kThreeDimensional;
  c.placement = ImagePlacement::kImageAbove;
  c.picture = picture;
  return c;
}

Control StatusLabel(std::string_view name, Rect rect, std::string_view text) {
  Control c = Make(name, Kind::kLabel, "", rect);
  c.text = text;
  c.border = Border::kSingleLine;
  c.align = HorizontalAlign::kCentre;
  c.text_colour = kBlack;
  c.background = kTeal;
  return c;
}

Control PlainLabel(std::string_view name, std::string_view parent, Rect rect, std::string_view text) {
  Control c = Make(name, Kind::kLabel, parent, rect);
  c.text = text;
  c.text_colour = kBlack;
  return c;
}

Control Group(std::string_view name, Rect rect, std::string_view caption) {
  Control c = Make(name, Kind::kGroupBox, "", rect);
  c.text = caption;
  return c;
}

Control DateList(std::string_view name, std::string_view parent, Rect rect, Rgb background) {
  Control c = Make(name, Kind::kListBox, parent, rect);
  c.tab_stop = true;
  c.border = Border::kSunken;
  c.sorted = true;
  c.item_spacing = 1;
  c.text_colour = kBlack;
  c.background = background;
  return c;
}

Control Link(std::string_view name, Rect rect, std::string_view caption, LinkKind kind,
             std::string_view address) {
  Control c = Make(name, Kind::kHyperLinker, "分组框7", rect);
  c.text = caption;
  c.link_kind = kind;
  c.link_address = address;
  c.link_colours[0] = {0, 0, 255};
  c.link_colours[1] = {128, 0, 0};
  c.link_colours[2] = {150, 181, 218};
  return c;
}

Control Component(std::string_view name, Kind kind, Rect rect) {
  Control c = Make(name, kind, "", rect);
  c.visible = false;
  return c;
}

std::vector<Control> BuildControls() {
  std::vector<Control> table;

  // Main column.
  Control calendar = Make("日历", Kind::kCnMonthCalendar, "", {0, 0, 365, 262});
  calendar.tab_stop = true;
  calendar.display_mode = 1;
  table.push_back(calendar);

  Control today = Make("超级按钮1", Kind::kSuperBtn, "", {125, 244, 57, 18});
  today.tab_stop = true;
  today.text = "转到今日";
  today.font = kSong14;
  today.button_style = ButtonStyle::kFlat;
  today.draw_border = true;
  today.draw_focus = false;
  today.colours.normal_text = kYellow;
  today.colours.normal_background = kTeal;
  today.colours.lit_text = kBlack;
  today.colours.lit_background = kYellow;
  today.colours.focus_text = kWhite;
  today.colours.focus_background = kTeal;
  table.push_back(today);

  Control editor = Make("备忘编辑框", Kind::kRichEdit, "", {0, 264, 365, 200});
  editor.tab_stop = true;
  editor.border = Border::kSunken;
  editor.background = kPaleYellow;
  editor.multi_line = true;
  editor.word_wrap = true;
  editor.read_only = true;
  editor.hide_selection = true;
  table.push_back(editor);

  table.push_back(Group("分组框2", {0, 464, 366, 80}, ""));
  table.push_back(BarButton("编辑按钮", {8, 14, 80, 60}, "\r\n&W", "编辑当前日期的备忘",
                            Picture::kEditButtonIcon));
  Control save = BarButton("保存按钮", {98, 14, 80, 60}, "\r\n&S", "保存当前编辑的备忘信息",
                           Picture::kSaveButtonIcon);
  save.enabled = false;
  table.push_back(save);
  Control options = BarButton("选项面板按钮", {188, 14, 80, 60}, "", "各种设置选项，目前没有，备用",
                              Picture::kOptionsButtonIcon);
  options.enabled = false;
  options.tab_stop = false;
  table.push_back(options);
  table.push_back(BarButton("搜索面板按钮", {278, 14, 80, 60}, "&F",
                            "打开搜索面板，搜索含有关键字备忘的日期", Picture::kSearchPanelButtonIcon));
  table.push_back(StatusLabel("主面板状态栏标签", {0, 544, 365, 24}, "主界面状态栏"));

  // Side panels.
  table.push_back(Group("备忘列表分组框", {368, 2, 144, 462}, "本月备忘日期列表："));
  Control month_list = DateList("本月备忘列表框", "备忘列表分组框", {5, 22, 131, 438}, kPaleGreen);
  month_list.font = kSong12;
  table.push_back(month_list);

  table.push_back(Group("分组框6", {368, 464, 144, 80}, ""));
  for (auto [name, left] : {std::pair{"导出以上按钮1", 8}, std::pair{"导出以上按钮2", 74}}) {
    Control spare = SideButton(name, "分组框6", {left, 14, 60, 60}, "备用",
                               "导出列表框中日期的记录到TXT文本", Picture::kNone);
    spare.enabled = false;
    spare.use_default_colours = true;
    table.push_back(spare);
  }

  table.push_back(Group("分组框1", {512, 2, 144, 462}, "请输入搜索关键词："));
  Control keyword = Make("搜索内容编辑框", Kind::kEditBox, "分组框1", {7, 20, 95, 20});
  keyword.tab_stop = true;
  keyword.border = Border::kSunken;
  keyword.text_colour = kWhite;
  keyword.background = kNavy;
  table.push_back(keyword);
  Control search = Make("搜索按钮", Kind::kButton, "分组框1", {106, 16, 30, 25});
  search.tab_stop = true;
  search.text = "搜索";
  search.picture = Picture::kSearchButtonIcon;
  table.push_back(search);
  Control rule = Make("标签4", Kind::kLabel, "分组框1", {8, 48, 128, 4});
  rule.picture = Picture::kSeparatorLinePicture;
  table.push_back(rule);
  // After a search its caption takes two lines of the Song face, whose
  // lines are as high as its characters.
  Control results_caption = PlainLabel("标签5", "分组框1", {8, 55, 120, 24}, "包含关键词的日期有：");
  results_caption.word_wrap = true;
  results_caption.font = kSong12;
  table.push_back(results_caption);
  table.push_back(DateList("搜索结果列表框", "分组框1", {6, 80, 130, 380}, kPaleCyan));
  Control dialog = Component("通用对话框", Kind::kCommonDlg, {104, 432, 26, 26});
  dialog.parent = "分组框1";
  table.push_back(dialog);

  table.push_back(Group("分组框4", {512, 464, 144, 80}, ""));
  const ButtonColours export_colours = BlackTextLitOn(kPaleCyan);
  Control listed = SideButton("导出以上按钮", "分组框4", {9, 14, 60, 60}, "\r\n",
                              "导出列表框中日期的记录到TXT文本", Picture::kExportListedPicture);
  listed.colours = export_colours;
  table.push_back(listed);
  Control all = SideButton("导出全库按钮", "分组框4", {75, 14, 60, 60}, "\r\n",
                           "导出数据库所有记录到TXT文本", Picture::kExportAllPicture);
  all.colours = export_colours;
  table.push_back(all);
  table.push_back(StatusLabel("搜索面板状态栏标签", {369, 544, 287, 24}, "搜索面板状态栏"));

  // Bottom panel.
  table.push_back(Group("分组框3", {0, 568, 366, 98}, "选项面板"));
  Control password = Make("密码设置选择框", Kind::kCheckBox, "分组框3", {14, 24, 104, 24});
  password.tab_stop = true;
  password.text = "备忘是否加密？";
  table.push_back(password);
  table.push_back(PlainLabel("标签1", "分组框3", {18, 57, 95, 16}, "打\"√\"代表加密"));
  table.push_back(Group("分组框7", {368, 568, 288, 100}, "版权"));
  Control picture = Make("图片框1", Kind::kPicBox, "分组框7", {16, 16, 120, 80});
  picture.picture = Picture::kAboutPicture;
  table.push_back(picture);
  table.push_back(Link("超级链接框1", {144, 24, 112, 24}, "欢迎访问我的主页", LinkKind::kWeb,
                       "http://www.example.org/tarnwick/"));
  table.push_back(Link("超级链接框2", {144, 56, 88, 24}, "我的电子信箱", LinkKind::kMail,
                       "tarnwick@example.org"));

  // Components, invisible at run time.
  Control timer = Component("对齐时钟", Kind::kTimer, {248, 288, 26, 26});
  timer.interval_ms = 200;
  table.push_back(timer);
  table.push_back(Component("数据库提供者", Kind::kDBProvider, {280, 328, 26, 26}));
  table.push_back(Component("数据源", Kind::kDataSrc, {208, 392, 132, 22}));
  table.push_back(Component("超级菜单", Kind::kSupperMenu, {288, 288, 26, 26}));
  return table;
}

}  // namespace

const Window& MainWindow() {
  static const Window window = [] {
    Window w;
    w.name = kMainWindowName;
    w.caption = kInitialCaption;
    w.rect = {50, 50, 371, 596};
    return w;
  }();
  return window;
}

const Window& DockStrip() {
  static const Window window = [] {
    Window w;
    w.name = kDockStripName;
    w.rect = {50, 0, 370, 2};
    w.has_frame = false;
    w.visible_when_loaded = false;
    w.in_task_bar = false;
    w.always_on_top = true;
    w.background = kYellow;
    return w;
  }();
  return window;
}

const std::vector<Control>& Controls() {
  static const std::vector<Control> table = BuildControls();
  return table;
}

const Control* FindControl(std::string_view name) {
  for (const Control& control : Controls()) {
    if (control.name == name) return &control;
  }
  return nullptr;
}

const std::vector<MenuItem>& MenuItems() {
  static const std::vector<MenuItem> items{
      {"菜单", "菜单", 0}, {"复制", "复制", 1}, {"粘贴", "粘贴", 1}, {"剪切", "剪切", 1},
      {"删除", "删除", 1}, {"分隔线", "-", 1}, {"全选", "全选", 1},
  };
  return items;
}

const std::vector<Binding>& Bindings() {
  static const std::vector<Binding> bindings{
      {kMainWindowName, Event::kCreated, "StartUp"},
      {kMainWindowName, Event::kQueryClose, "QueryShutDown"},
      {kMainWindowName, Event::kDeactivated, "HideIntoDockStrip"},
      {kDockStripName, Event::kLeftButtonPressed, "ComeBackFromDockStrip"},
      {"日历", Event::kDayClicked, "CalendarDayClicked"},
      {"日历", Event::kDayHovered, "CalendarDayHovered"},
      {"日历", Event::kDateChanged, "CalendarDateChanged"},
      {"日历", Event::kWheelScrolled, "CalendarWheelScrolled"},
      {"超级按钮1", Event::kClicked, "GoToToday"},
      {"备忘编辑框", Event::kRightButtonPressed, "EditorRightButtonPressed"},
      {"备忘编辑框", Event::kKeyPressed, "EditorKeyPressed"},
      {"编辑按钮", Event::kClicked, "EditClicked"},
      {"保存按钮", Event::kClicked, "SaveClicked"},
      {"选项面板按钮", Event::kClicked, "ToggleOptionsPanel"},
      {"搜索面板按钮", Event::kClicked, "ToggleSidePanels"},
      {"主面板状态栏标签", Event::kDoubleClicked, "ClearAllRecords"},
      {"本月备忘列表框", Event::kSelectionChanged, "MonthListSelectionChanged"},
      {"本月备忘列表框", Event::kGotFocus, "MonthListGotFocus"},
      {"搜索内容编辑框", Event::kKeyPressed, "KeywordKeyPressed"},
      {"搜索按钮", Event::kClicked, "SearchClicked"},
      {"搜索结果列表框", Event::kSelectionChanged, "SearchResultSelectionChanged"},
      {"搜索结果列表框", Event::kGotFocus, "SearchResultGotFocus"},
      {"导出以上按钮", Event::kClicked, "ExportListedClicked"},
      {"导出全库按钮", Event::kClicked, "ExportAllClicked"},
      {"对齐时钟", Event::kTick, "AlignmentTick"},
      {"密码设置选择框", Event::kClicked, "PasswordCheckBoxClicked"},
      {"复制", Event::kChosen, "MenuCopy"},
      {"粘贴", Event::kChosen, "MenuPaste"},
      {"剪切", Event::kChosen, "MenuCut"},
      {"删除", Event::kChosen, "MenuDelete"},
      {"全选", Event::kChosen, "MenuSelectAll"},
  };
  return bindings;
}

}  // namespace tarnwick::layout
