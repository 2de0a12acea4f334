#include "ui/calendar/cn_month_calendar.h"

#include <algorithm>
#include <utility>

#include "base/text.h"

namespace tarnwick {
namespace {

constexpr Point kYearListAt{3, 4};
constexpr int kYearListWidth = 102;
constexpr Point kMonthListAt{107, 4};
constexpr int kMonthListWidth = 61;
constexpr int kListHeight = 22;
constexpr int kTextInset = 3;    // cell texts keep off the cell's top and bottom edges
constexpr int kFooterInset = 5;  // footer texts keep off the left and right edges
constexpr int kFocusInset = 2;   // the keyboard's day: a focus rectangle inside the cell's lines
constexpr double kLastSecondOfDay = 86399.0 / 86400.0;

// Both cell texts and the header use the default GUI font.
const Font& CellFont() {
  static const Font font;
  return font;
}

GregorianDate Today(Platform& platform) {
  CivilDateTime now = DecodeDateTime(platform.loop().LocalNow());
  return {now.year, now.month, now.day};
}

GregorianDate DaysLater(const GregorianDate& date, int days) {
  CivilDateTime later = DecodeDateTime(EncodeDate(date.year, date.month, date.day) + days);
  return {later.year, later.month, later.day};
}

// The same day number months later, or that month's last day when it is
// shorter.
GregorianDate MonthsLater(const GregorianDate& date, int months) {
  int index = date.year * 12 + (date.month - 1) + months;
  int year = index / 12;
  int month = index % 12 + 1;
  return {year, month, std::min(date.day, DaysInMonth(year, month))};
}

}  // namespace

// Input on the grid surface: first the common events (the control wrapper),
// then the calendar's own pointer handling.
class CnMonthCalendar::GridListener : public ControlListener {
 public:
  explicit GridListener(CnMonthCalendar& calendar) : calendar_(calendar) {}

  bool OnMouse(const MouseEvent& event) override {
    if (calendar_.input_ && !calendar_.input_->OnMouse(event)) return false;
    if (event.action == MouseAction::kMove) {
      calendar_.MouseMoved(event.position);
    } else if (event.action == MouseAction::kRelease && event.button == MouseButton::kLeft) {
      calendar_.LeftReleased(event.position);
    } else if (event.action == MouseAction::kRelease && event.button == MouseButton::kRight) {
      calendar_.RightReleased(event.position);
    }
    return true;
  }
  void OnMouseLeave() override {
    if (calendar_.input_) calendar_.input_->OnMouseLeave();
    calendar_.MouseLeft();
  }
  bool OnWheel(const WheelEvent& event) override {
    return calendar_.input_ ? calendar_.input_->OnWheel(event) : true;
  }
  bool OnKey(const KeyEvent& event) override {
    if (calendar_.input_ && !calendar_.input_->OnKey(event)) return false;
    return !(event.down && calendar_.KeyPressed(event.key_code, event.key_state));
  }
  bool OnCharacter(std::uint32_t code) override {
    return calendar_.input_ ? calendar_.input_->OnCharacter(code) : true;
  }
  void OnFocusChanged(bool has_focus) override {
    calendar_.FocusChanged();
    if (calendar_.input_) calendar_.input_->OnFocusChanged(has_focus);
  }
  void OnPaint(Canvas& canvas, const Rect& dirty) override { calendar_.Paint(canvas, dirty); }

 private:
  CnMonthCalendar& calendar_;
};

// The year and month lists are windows inside the calendar: a wheel turn
// while one of them has the focus is the calendar's (its common event), and
// the list never steps its own selection by it, which would move the month
// behind the owner's back.
class CnMonthCalendar::ListListener : public ControlListener {
 public:
  ListListener(CnMonthCalendar& calendar, void (CnMonthCalendar::*chosen)(), Point origin)
      : calendar_(calendar), chosen_(chosen), origin_(origin) {}
  void OnSelectionChanged() override { (calendar_.*chosen_)(); }
  bool OnWheel(const WheelEvent& event) override {
    if (calendar_.input_) {
      WheelEvent in_calendar = event;
      in_calendar.position = {event.position.x + origin_.x, event.position.y + origin_.y};
      calendar_.input_->OnWheel(in_calendar);
    }
    return false;
  }

 private:
  CnMonthCalendar& calendar_;
  void (CnMonthCalendar::*chosen_)();
  Point origin_;
};

CnMonthCalendar::CnMonthCalendar(Platform& platform, NativeParent& parent, Point at,
                                 CnMonthCalendarOwner& owner, const Options& options,
                                 ControlListener* input)
    : platform_(platform),
      owner_(owner),
      input_(input),
      show_navigation_bar_(options.show_navigation_bar),
      model_(Today(platform), options.display_mode),
      alive_(std::make_shared<bool>(true)) {
  grid_listener_ = std::make_unique<GridListener>(*this);
  surface_ = platform_.windows().CreateSurface(parent, Rect{at.x, at.y, size().width, size().height},
                                               *grid_listener_);
  surface_->SetTakesFocus(true);
  if (show_navigation_bar_) {
    year_listener_ = std::make_unique<ListListener>(*this, &CnMonthCalendar::YearChosen, kYearListAt);
    month_listener_ = std::make_unique<ListListener>(*this, &CnMonthCalendar::MonthChosen, kMonthListAt);
    year_list_ = platform_.windows().CreateDropDownList(
        *surface_, Rect{kYearListAt.x, kYearListAt.y, kYearListWidth, kListHeight}, *year_listener_);
    month_list_ = platform_.windows().CreateDropDownList(
        *surface_, Rect{kMonthListAt.x, kMonthListAt.y, kMonthListWidth, kListHeight}, *month_listener_);
  }
  Selected(false);
  if (options.initial_date) {
    const GregorianDate& date = *options.initial_date;
    SetDate(date.year, date.month, date.day);
  }
}

CnMonthCalendar::~CnMonthCalendar() {
  *alive_ = false;
  // The lists and the surface go before the listeners they call.
  month_list_.reset();
  year_list_.reset();
  surface_.reset();
}

bool CnMonthCalendar::SetDate(int year, int month, int day) {
  if (!model_.SetDate(year, month, day)) return false;
  Selected(true);
  return true;
}

DateTime CnMonthCalendar::SelectedDate() const {
  const GregorianDate& date = model_.selected_date();
  return EncodeDate(date.year, date.month, date.day) + kLastSecondOfDay;
}

bool CnMonthCalendar::SetSelectedDate(DateTime value) {
  CivilDateTime civil = DecodeDateTime(ClampDateTime(value));
  if (civil.year < 1901 || civil.year > 2049) return false;
  return SetDate(civil.year, civil.month, civil.day);
}

bool CnMonthCalendar::SetLunarYear(int year) {
  if (!model_.SetLunarYear(year)) return false;
  Selected(true);
  return true;
}

bool CnMonthCalendar::SetLunarMonth(int month) {
  if (!model_.SetLunarMonth(month)) return false;
  Selected(true);
  return true;
}

bool CnMonthCalendar::SetLunarDay(int day) {
  if (!model_.SetLunarDay(day)) return false;
  Selected(true);
  return true;
}

bool CnMonthCalendar::SetLeapMonth(bool leap) {
  if (!model_.SetLeapMonth(leap)) return false;
  Selected(true);
  return true;
}

void CnMonthCalendar::SetDisplayMode(int mode) {
  model_.SetDisplayMode(mode);
  Selected(false);
}

std::string CnMonthCalendar::YearName() const {
  const GregorianDate& d = model_.selected_date();
  return tarnwick::YearName(d.year, d.month, d.day);
}

std::string CnMonthCalendar::LunarMonthName() const {
  return tarnwick::LunarMonthName(model_.lunar_date().month, model_.lunar_date().leap);
}

std::string CnMonthCalendar::LunarDayName() const { return tarnwick::LunarDayName(model_.lunar_date().day); }

std::string CnMonthCalendar::ZodiacAnimal() const {
  const GregorianDate& d = model_.selected_date();
  return tarnwick::ZodiacAnimal(d.year, d.month, d.day);
}

std::string CnMonthCalendar::SolarTermName() const {
  const GregorianDate& d = model_.selected_date();
  return tarnwick::SolarTermName(SolarTermNumber(d.year, d.month, d.day));
}

int CnMonthCalendar::Weekday() const {
  const GregorianDate& d = model_.selected_date();
  return tarnwick::Weekday(d.year, d.month, d.day);
}

int CnMonthCalendar::DaysInLunarMonth() const {
  const LunarDate& lunar = model_.lunar_date();
  return tarnwick::DaysInLunarMonth(lunar.year, lunar.month, lunar.leap);
}

int CnMonthCalendar::DaysInLunarYear() const { return tarnwick::DaysInLunarYear(model_.lunar_date().year); }

Size CnMonthCalendar::size() const {
  return {kWidth, GridTop() + kGridHeight};
}

int CnMonthCalendar::GridTop() const { return show_navigation_bar_ ? kNavigationBarHeight : 0; }

Rect CnMonthCalendar::CellRect(int index) const {
  int row = index / kGridColumns;
  int column = index % kGridColumns;
  return {column * kCellWidth, GridTop() + kHeaderHeight + row * kCellHeight, kCellWidth + 1, kCellHeight};
}

Rect CnMonthCalendar::FooterRect() const {
  return {0, GridTop() + kHeaderHeight + kGridRows * kCellHeight, kWidth, kFooterHeight};
}

int CnMonthCalendar::CellAt(Point point) const {
  int y = point.y - GridTop() - kHeaderHeight;
  if (point.x < 0 || point.x >= kGridColumns * kCellWidth || y < 0 || y >= kGridRows * kCellHeight) return -1;
  return (y / kCellHeight) * kGridColumns + point.x / kCellWidth;
}

void CnMonthCalendar::Selected(bool notify) {
  picture_stale_ = true;
  // The pointer stays where it was: keep its highlight when the cell under
  // it still shows a day of the (new) shown month.
  if (hovered_ >= 0) {
    const CalendarCell& cell = model_.grid().cells[hovered_];
    if (cell.in_shown_month) {
      hover_text_ = HoverText(cell.date);
    } else {
      hovered_ = -1;
      hover_text_.clear();
    }
  }
  SelectListEntries();
  DescribeForScreenReaders();
  surface_->InvalidateAll();
  if (notify) Post([](CnMonthCalendarOwner& owner) { owner.DateChanged(); });
}

// The days of the shown month, the selected one focused: a move by the keys
// is announced as the focus going to the new day.
void CnMonthCalendar::DescribeForScreenReaders() {
  AccessibleDescription description;
  description.role = AccessibleRole::kTable;
  const GregorianDate& first = model_.grid().first_day;
  description.name = FormatLunarText(Gbk("%y年%m月"), first);
  for (int index = 0; index < kGridCellCount; ++index) {
    const CalendarCell& cell = model_.grid().cells[index];
    if (!cell.in_shown_month) continue;
    if (cell.date == model_.selected_date()) description.focused_part = static_cast<int>(description.parts.size());
    description.parts.push_back({SpokenDayName(cell.date), CellRect(index)});
  }
  surface_->SetAccessible(description);
}

void CnMonthCalendar::Post(std::function<void(CnMonthCalendarOwner&)> event) {
  std::weak_ptr<bool> alive = alive_;
  CnMonthCalendarOwner* owner = &owner_;
  platform_.loop().Post([alive, owner, event = std::move(event)] {
    auto still_alive = alive.lock();
    if (still_alive && *still_alive) event(*owner);
  });
}

void CnMonthCalendar::RefillYearList() {
  if (!year_list_ || listed_year_mode_ == DisplayMode()) return;
  year_list_->SetItems(YearListTexts(DisplayMode()));
  listed_year_mode_ = DisplayMode();
}

void CnMonthCalendar::RefillMonthList(int year) {
  if (!month_list_) return;
  month_entries_ = MonthListEntries(DisplayMode(), year);
  std::vector<std::string> texts;
  texts.reserve(month_entries_.size());
  for (const MonthListEntry& entry : month_entries_) texts.push_back(entry.text);
  month_list_->SetItems(texts);
  listed_month_mode_ = DisplayMode();
  listed_month_year_ = year;
}

void CnMonthCalendar::SelectListEntries() {
  if (!year_list_) return;
  bool gregorian = DisplayMode() == kGregorianMonthView;
  int year = gregorian ? model_.selected_date().year : model_.lunar_date().year;
  int month = gregorian ? model_.selected_date().month : model_.lunar_date().month;
  bool leap = !gregorian && model_.lunar_date().leap;
  RefillYearList();
  // The Gregorian month names are the same every year; the lunar ones depend
  // on the year's leap month.
  if (listed_month_mode_ != DisplayMode() || (!gregorian && listed_month_year_ != year)) RefillMonthList(year);
  bool listed = year >= kFirstListedYear && year <= kLastListedYear;
  year_list_->SetSelection(listed ? year - kFirstListedYear : -1);
  int month_index = -1;
  for (std::size_t i = 0; i < month_entries_.size(); ++i) {
    if (month_entries_[i].month == month && month_entries_[i].leap == leap) month_index = static_cast<int>(i);
  }
  month_list_->SetSelection(month_index);
}

void CnMonthCalendar::YearChosen() {
  int index = year_list_->Selection();
  if (index < 0) return;
  int year = kFirstListedYear + index;
  bool gregorian = DisplayMode() == kGregorianMonthView;
  if (!gregorian) RefillMonthList(year);
  std::optional<GregorianDate> date;
  if (gregorian) {
    const GregorianDate& d = model_.selected_date();
    date = DateForListChoice(DisplayMode(), year, d.month, false, d.day);
  } else {
    const LunarDate& lunar = model_.lunar_date();
    date = DateForListChoice(DisplayMode(), year, lunar.month, lunar.leap, lunar.day);
    // The chosen year may have no such leap month: its ordinary month then.
    if (!date && lunar.leap) date = DateForListChoice(DisplayMode(), year, lunar.month, false, lunar.day);
  }
  // Chosen like any other date: the owner hears of it.
  Selected(date && model_.SetDate(*date));
}

void CnMonthCalendar::MonthChosen() {
  int index = month_list_->Selection();
  if (index < 0 || index >= static_cast<int>(month_entries_.size())) return;
  bool gregorian = DisplayMode() == kGregorianMonthView;
  int year_index = year_list_->Selection();
  int year = year_index >= 0 ? kFirstListedYear + year_index
                             : (gregorian ? model_.selected_date().year : model_.lunar_date().year);
  int day = gregorian ? model_.selected_date().day : model_.lunar_date().day;
  const MonthListEntry& entry = month_entries_[index];
  auto date = DateForListChoice(DisplayMode(), year, entry.month, entry.leap, day);
  Selected(date && model_.SetDate(*date));
}

void CnMonthCalendar::MouseMoved(Point point) {
  int index = CellAt(point);
  if (index == hovered_) return;
  if (index >= 0 && model_.grid().cells[index].in_shown_month) {
    SetHovered(index);
    LunarDate lunar = model_.grid().cells[index].lunar;
    Post([lunar](CnMonthCalendarOwner& owner) { owner.DayHovered(lunar); });
  } else {
    SetHovered(-1);
  }
}

void CnMonthCalendar::MouseLeft() { SetHovered(-1); }

// The keys move the selection as a click does, without the click's
// DayClicked: a move is a change of date like any other. Moving off the
// shown month turns the page.
bool CnMonthCalendar::KeyPressed(int key_code, int key_state) {
  if (key_state & (kKeyStateCtrl | kKeyStateAlt)) return false;
  const GregorianDate& from = model_.selected_date();
  const MonthGrid& grid = model_.grid();
  GregorianDate to;
  switch (key_code) {
    case keys::kLeft: to = DaysLater(from, -1); break;
    case keys::kRight: to = DaysLater(from, 1); break;
    case keys::kUp: to = DaysLater(from, -kGridColumns); break;
    case keys::kDown: to = DaysLater(from, kGridColumns); break;
    case keys::kPageUp: to = MonthsLater(from, -1); break;
    case keys::kPageDown: to = MonthsLater(from, 1); break;
    case keys::kHome:
    case keys::kEnd: {
      auto in_month = [](const CalendarCell& cell) { return cell.in_shown_month; };
      if (key_code == keys::kHome) {
        to = std::find_if(grid.cells.begin(), grid.cells.end(), in_month)->date;
      } else {
        to = std::find_if(grid.cells.rbegin(), grid.cells.rend(), in_month)->date;
      }
      break;
    }
    default: return false;
  }
  // A day the calendar cannot show leaves the selection where it is.
  SetDate(to.year, to.month, to.day);
  return true;
}

int CnMonthCalendar::KeyboardCell() const {
  if (!surface_->HasFocus()) return -1;
  int index = model_.grid().CellIndexOf(model_.selected_date());
  return index >= 0 && model_.grid().cells[index].in_shown_month ? index : -1;
}

void CnMonthCalendar::FocusChanged() {
  int index = model_.grid().CellIndexOf(model_.selected_date());
  if (index >= 0) surface_->Invalidate(CellRect(index));
}

void CnMonthCalendar::LeftReleased(Point point) {
  int index = CellAt(point);
  if (index < 0 || !model_.grid().cells[index].in_shown_month) return;
  GregorianDate date = model_.grid().cells[index].date;
  if (!SetDate(date.year, date.month, date.day)) return;
  Post([](CnMonthCalendarOwner& owner) { owner.DayClicked(); });
}

void CnMonthCalendar::RightReleased(Point point) {
  int index = CellAt(point);
  if (index < 0 || !model_.grid().cells[index].in_shown_month) return;
  LunarDate lunar = model_.grid().cells[index].lunar;
  Post([lunar](CnMonthCalendarOwner& owner) { owner.DayRightClicked(lunar); });
}

void CnMonthCalendar::SetHovered(int index) {
  if (index == hovered_) return;
  if (hovered_ >= 0) surface_->Invalidate(CellRect(hovered_));
  hovered_ = index;
  if (index >= 0) {
    surface_->Invalidate(CellRect(index));
    hover_text_ = HoverText(model_.grid().cells[index].date);
  } else {
    hover_text_.clear();
  }
  surface_->Invalidate(FooterRect());
}

void CnMonthCalendar::RebuildPicture() {
  // A fresh buffer each time: a canvas may keep a record of what was drawn
  // into it, which must not grow with every selection.
  picture_ = platform_.windows().CreateOffscreenCanvas(size());
  DrawGrid(*picture_);
  picture_stale_ = false;
}

void CnMonthCalendar::Paint(Canvas& canvas, const Rect& dirty) {
  if (picture_stale_) RebuildPicture();
  canvas.SetClip(dirty);
  canvas.DrawCanvas(*picture_, {0, 0});
  if (!hover_text_.empty()) {
    Rect footer = FooterRect();
    Rect text{footer.left + kFooterInset, footer.top, footer.width - 2 * kFooterInset, footer.height};
    canvas.DrawTextAligned(text, hover_text_, CellFont(), kFooterText,
                    text_flags::kRight | text_flags::kVerticalCenter | text_flags::kSingleLine);
  }
  if (hovered_ >= 0) DrawCell(canvas, hovered_, true);
  int keyboard_cell = KeyboardCell();
  if (keyboard_cell >= 0) canvas.DrawFocusRect(CellRect(keyboard_cell).Inset(kFocusInset));
  canvas.ResetClip();
}

// Everything but the hover: the bar's background, the weekday header, the
// cells with their lines, and the footer with its solar-term text.
void CnMonthCalendar::DrawGrid(Canvas& canvas) const {
  const int top = GridTop();
  if (show_navigation_bar_) {
    canvas.FillRect({0, 0, kWidth, kNavigationBarHeight},
                    platform_.windows().GetSystemColor(SystemColor::kButtonFace));
  }
  canvas.FillRect({0, top, kWidth, kHeaderHeight}, kHeaderBackground);
  for (int column = 0; column < kGridColumns; ++column) {
    Color color = column >= 5 ? kWeekendHeaderText : kFooterText;
    canvas.DrawTextAligned({column * kCellWidth, top, kCellWidth, kHeaderHeight}, WeekdayName(column + 1), CellFont(),
                    color, text_flags::kCenter | text_flags::kVerticalCenter | text_flags::kSingleLine);
  }
  for (int index = 0; index < kGridCellCount; ++index) DrawCell(canvas, index, false);
  Rect footer = FooterRect();
  canvas.FillRect(footer, kHeaderBackground);
  Rect text{footer.left + kFooterInset, footer.top, footer.width - 2 * kFooterInset, footer.height};
  canvas.DrawTextAligned(text, model_.grid().footer_text, CellFont(), kFooterText,
                  text_flags::kLeft | text_flags::kVerticalCenter | text_flags::kSingleLine);
}

// A cell: its lines in the grid-line colour (shared with its neighbours),
// the background inside, the lunar text near the top and the day number
// near the bottom.
void CnMonthCalendar::DrawCell(Canvas& canvas, int index, bool hovered) const {
  const CalendarCell& cell = model_.grid().cells[index];
  Rect rect = CellRect(index);
  const int right = rect.right() - 1;
  canvas.DrawLine({rect.left, rect.top}, {rect.right(), rect.top}, kGridLine);
  canvas.DrawLine({rect.left, rect.top}, {rect.left, rect.bottom()}, kGridLine);
  canvas.DrawLine({right, rect.top}, {right, rect.bottom()}, kGridLine);
  // The last row ends on the footer, which has no line of its own.
  if (index / kGridColumns < kGridRows - 1) {
    canvas.DrawLine({rect.left, rect.bottom()}, {rect.right(), rect.bottom()}, kGridLine);
  }
  Color background = hovered ? kHoveredBackground
                             : (cell.in_shown_month ? kShownMonthBackground : kOtherMonthBackground);
  Rect inside{rect.left + 1, rect.top + 1, rect.width - 2, rect.height - 1};
  canvas.FillRect(inside, background);
  constexpr int kOneLine = text_flags::kCenter | text_flags::kSingleLine;
  canvas.DrawTextAligned({inside.left, rect.top + kTextInset, inside.width, rect.height - 2 * kTextInset},
                  cell.lunar_text, CellFont(), hovered ? kHoveredLunarText : kLunarText,
                  kOneLine | text_flags::kTop);
  canvas.DrawTextAligned({inside.left, rect.top + kTextInset, inside.width, rect.height - 2 * kTextInset},
                  cell.day_text, CellFont(), hovered ? kHoveredDayText : kDayText, kOneLine | text_flags::kBottom);
}

}  // namespace tarnwick
