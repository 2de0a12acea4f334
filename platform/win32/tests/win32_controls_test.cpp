#include "platform/win32/tests/win32_test_support.h"

#include <commctrl.h>

namespace tarnwick::win32::testing {
namespace {

using ControlsTest = Win32WindowTest;

std::wstring WindowTextW(HWND hwnd) {
  wchar_t text[256] = {};
  GetWindowTextW(hwnd, text, 256);
  return text;
}

TEST_F(ControlsTest, ButtonsClickOnlyWhenEnabledAndThroughTheirGroupFrame) {
  Recorder frame_listener;
  Recorder button_listener;
  auto frame = windows_->CreateGroupFrame(*window_, {0, 464, 366, 80}, frame_listener);
  auto button = windows_->CreateButton(*frame, {278, 14, 80, 60}, button_listener);
  button->SetCaption(Gbk("搜索\r\n&F"));
  EXPECT_EQ(WindowTextW(Handle(*button)), Wide("搜索\r\n&F"));
  frame->SetCaption(Gbk("本月备忘日期列表："));
  EXPECT_EQ(WindowTextW(Handle(*frame)), Wide("本月备忘日期列表："));

  button->Click();
  // The user's click: BN_CLICKED from the control, to its group frame.
  SendMessageW(Handle(*button), BM_CLICK, 0, 0);
  EXPECT_NE(button_listener.trace.find("pressL"), std::string::npos);
  auto clicks = [&] {
    std::size_t count = 0;
    for (std::size_t at = button_listener.trace.find("clicked"); at != std::string::npos;
         at = button_listener.trace.find("clicked", at + 1))
      ++count;
    return count;
  };
  EXPECT_EQ(clicks(), 2u);
  button->SetEnabled(false);
  button->Click();
  EXPECT_EQ(clicks(), 2u);
  EXPECT_EQ(frame_listener.trace, "");
}

TEST_F(ControlsTest, ANarrowButtonShowsItsIconAloneAndNamesItselfInItsTooltip) {
  Recorder listener;
  auto button = windows_->CreateButton(*window_, {106, 16, 30, 25}, listener);
  button->SetCaption(Gbk("搜索"));
  EXPECT_EQ(WindowTextW(Handle(*button)), Wide("搜索"));  // no icon: the caption shows
  button->SetIcon(Image(16, 16, Pixel{0, 0, 255, 255}));
  EXPECT_EQ(WindowTextW(Handle(*button)), L"");
  HWND tip = nullptr;
  for (HWND at = FindWindowExW(nullptr, nullptr, TOOLTIPS_CLASSW, nullptr); at != nullptr && tip == nullptr;
       at = FindWindowExW(nullptr, at, TOOLTIPS_CLASSW, nullptr)) {
    if (GetWindow(at, GW_OWNER) == Handle(*window_)) tip = at;
  }
  ASSERT_NE(tip, nullptr);
  wchar_t text[64] = {};
  TTTOOLINFOW info{};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.hwnd = Handle(*window_);
  info.uId = reinterpret_cast<UINT_PTR>(Handle(*button));
  info.lpszText = text;
  SendMessageW(tip, TTM_GETTEXTW, 64, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(std::wstring(text), Wide("搜索"));
  // Wide enough again: icon and caption.
  button->SetRect({106, 16, 120, 25});
  EXPECT_EQ(WindowTextW(Handle(*button)), Wide("搜索"));
  button->Click();
  EXPECT_EQ(listener.trace, "clicked ");
}

TEST_F(ControlsTest, CheckBoxTogglesBeforeItsClickIsHeard) {
  Recorder listener;
  auto check_box = windows_->CreateCheckBox(*window_, {14, 24, 104, 24}, listener);
  check_box->SetCaption(Gbk("备忘是否加密？"));
  EXPECT_EQ(WindowTextW(Handle(*check_box)), Wide("备忘是否加密？"));
  bool checked_when_heard = false;
  listener.on_clicked = [&] { checked_when_heard = check_box->IsChecked(); };
  check_box->SetChecked(true);
  check_box->SetChecked(false);
  EXPECT_EQ(listener.trace, "");
  check_box->Click();
  EXPECT_TRUE(checked_when_heard);
  EXPECT_TRUE(check_box->IsChecked());
  SendMessageW(Handle(*check_box), BM_CLICK, 0, 0);  // as the user
  EXPECT_FALSE(checked_when_heard);
  EXPECT_FALSE(check_box->IsChecked());
}

TEST_F(ControlsTest, ListBoxKeepsInsertionOrderAndReportsOnlyUserSelections) {
  Recorder listener;
  auto list = windows_->CreateListBox(*window_, {5, 22, 131, 300}, listener);
  list->InsertItem(0, Gbk("2011年5月3日"));
  list->InsertItem(0, Gbk("2011年12月1日"));  // before, although it sorts after
  list->InsertItem(2, "zeta");
  list->InsertItem(99, "alpha");  // past the end appends
  ASSERT_EQ(list->Count(), 4);
  EXPECT_EQ(list->ItemText(0), Gbk("2011年12月1日"));
  EXPECT_EQ(list->ItemText(1), Gbk("2011年5月3日"));
  EXPECT_EQ(list->ItemText(2), "zeta");
  EXPECT_EQ(list->ItemText(3), "alpha");
  EXPECT_EQ(list->ItemText(4), "");
  EXPECT_EQ(list->ItemText(-1), "");

  EXPECT_EQ(list->Selection(), -1);
  list->SetSelection(2);
  EXPECT_EQ(list->Selection(), 2);
  list->SetSelection(7);
  EXPECT_EQ(list->Selection(), -1);
  EXPECT_EQ(listener.trace, "");

  // The user clicks the second item.
  int item_height = static_cast<int>(SendMessageW(Handle(*list), LB_GETITEMHEIGHT, 0, 0));
  LPARAM at = MAKELPARAM(10, item_height + item_height / 2);
  SendMessageW(Handle(*list), WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(Handle(*list), WM_LBUTTONUP, 0, at);
  EXPECT_EQ(list->Selection(), 1);
  EXPECT_NE(listener.trace.find("selchange"), std::string::npos);

  list->Clear();
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(list->Selection(), -1);
}

TEST_F(ControlsTest, ListBoxItemHeightIsTheFontsPlusTheSpacing) {
  Recorder listener;
  auto list = windows_->CreateListBox(*window_, {5, 22, 131, 300}, listener);
  list->InsertItem(0, "x");
  int plain = static_cast<int>(SendMessageW(Handle(*list), LB_GETITEMHEIGHT, 0, 0));
  list->SetItemSpacing(1);
  EXPECT_EQ(SendMessageW(Handle(*list), LB_GETITEMHEIGHT, 0, 0), plain + 1);
  // A new font keeps the spacing on top of its own height.
  list->SetFont({Gbk("宋体"), 24});
  int larger = static_cast<int>(SendMessageW(Handle(*list), LB_GETITEMHEIGHT, 0, 0));
  EXPECT_GT(larger, plain + 1);
  list->SetItemSpacing(0);
  EXPECT_EQ(SendMessageW(Handle(*list), LB_GETITEMHEIGHT, 0, 0), larger - 1);
}

TEST_F(ControlsTest, MultiColumnListBoxWrapsItsItemsIntoColumns) {
  Recorder listener;
  auto list = windows_->CreateListBox(*window_, {5, 22, 200, 100}, listener);
  for (int day = 1; day <= 30; ++day) list->InsertItem(list->Count(), std::to_string(day));
  auto left_of = [&](int index) {
    RECT item{};
    SendMessageW(Handle(*list), LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return item.left;
  };
  EXPECT_EQ(left_of(29), 0);
  list->SetSelection(3);
  list->SetToolTip("tip");
  list->SetMultiColumn(true);
  EXPECT_GT(left_of(29), 0);
  EXPECT_EQ(list->Count(), 30);
  EXPECT_EQ(list->ItemText(29), "30");
  EXPECT_EQ(list->Selection(), 3);
  // Still heard: the user picks the first item.
  SendMessageW(Handle(*list), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendMessageW(Handle(*list), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(list->Selection(), 0);
  EXPECT_NE(listener.trace.find("selchange"), std::string::npos) << listener.trace;
  list->SetMultiColumn(false);
  EXPECT_EQ(left_of(29), 0);
  EXPECT_EQ(list->Selection(), 0);
}

TEST_F(ControlsTest, EditTextsRoundTripAndOnlyTheUsersChangesAreHeard) {
  Recorder listener;
  auto edit = windows_->CreateEdit(*window_, {7, 20, 95, 20}, listener);
  edit->SetText(Gbk("关键词"));
  EXPECT_EQ(edit->Text(), Gbk("关键词"));
  EXPECT_EQ(listener.trace, "");

  edit->SetFocus();
  SendMessageW(Handle(*edit), EM_SETSEL, 3, 3);
  SendMessageW(Handle(*edit), WM_CHAR, 0x4E2D, 1);  // 中, typed
  EXPECT_EQ(edit->Text(), Gbk("关键词中"));
  EXPECT_NE(listener.trace.find("charD6D0 changed "), std::string::npos) << listener.trace;

  // Masked: shown as asterisks, still read as typed.
  edit->SetMasked(true);
  EXPECT_EQ(SendMessageW(Handle(*edit), EM_GETPASSWORDCHAR, 0, 0), L'*');
  EXPECT_EQ(edit->Text(), Gbk("关键词中"));
}

// Both paint their background in the colour given last, where no text is.
TEST_F(ControlsTest, EditsAndListBoxesPaintInTheColoursTheyAreGiven) {
  Recorder listener;
  std::unique_ptr<NativeEdit> edit = windows_->CreateEdit(*window_, {7, 20, 95, 20}, listener);
  std::unique_ptr<NativeListBox> list = windows_->CreateListBox(*window_, {7, 60, 131, 100}, listener);
  list->InsertItem(0, "1");
  auto background = [](HWND control) {
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    RECT client{};
    GetClientRect(control, &client);
    HDC dc = GetDC(control);
    const COLORREF colour = GetPixel(dc, client.right - 3, client.bottom - 3);
    ReleaseDC(control, dc);
    return colour;
  };
  for (const Color colour : {Rgb(128, 255, 128), Rgb(128, 255, 255)}) {
    edit->SetColors(Rgb(0, 0, 0), colour);
    list->SetColors(Rgb(0, 0, 0), colour);
    EXPECT_EQ(background(Handle(*edit)), ToColorRef(colour));
    EXPECT_EQ(background(Handle(*list)), ToColorRef(colour));
  }
}

TEST_F(ControlsTest, EditMaximumLengthCountsBytesAndNeverSplitsACharacter) {
  Recorder listener;
  auto edit = windows_->CreateEdit(*window_, {7, 20, 95, 20}, listener);
  edit->SetMaxLength(5);
  edit->SetFocus();
  listener.trace.clear();
  // A paste of more than fits keeps the whole characters that fit.
  std::wstring pasted = Wide("中文abc");
  SendMessageW(Handle(*edit), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(pasted.c_str()));
  EXPECT_EQ(edit->Text(), Gbk("中文a"));
  EXPECT_EQ(listener.trace, "changed ");
  // Four bytes used: a double-byte character does not fit into the one left,
  edit->SetText(Gbk("中文"));
  listener.trace.clear();
  SendMessageW(Handle(*edit), EM_SETSEL, 4, 4);
  SendMessageW(Handle(*edit), WM_CHAR, 0x5B57, 1);  // 字
  EXPECT_EQ(edit->Text(), Gbk("中文"));
  EXPECT_EQ(listener.trace, "charD7D6 ");
  // but an ASCII letter does.
  SendMessageW(Handle(*edit), WM_CHAR, 'x', 1);
  EXPECT_EQ(edit->Text(), Gbk("中文x"));
  // The program's own text is not cut.
  edit->SetText(Gbk("一二三四五"));
  EXPECT_EQ(edit->Text(), Gbk("一二三四五"));
}

TEST_F(ControlsTest, DropDownListSelectsWithoutNotifyingUnlessTheUserChooses) {
  Recorder listener;
  auto list = windows_->CreateDropDownList(*window_, {10, 10, 80, 20}, listener);
  list->SetItems({Gbk("一月"), Gbk("二月"), Gbk("三月")});
  EXPECT_EQ(list->Count(), 3);
  EXPECT_EQ(list->ItemText(1), Gbk("二月"));
  EXPECT_EQ(list->ItemText(3), "");
  EXPECT_EQ(list->Selection(), -1);
  list->SetSelection(2);
  EXPECT_EQ(list->Selection(), 2);
  list->SetSelection(5);
  EXPECT_EQ(list->Selection(), -1);
  list->SetSelection(0);
  EXPECT_EQ(listener.trace, "");
  // The closed box is as high as asked (when the font fits in it).
  list->SetRect({10, 10, 80, 30});
  RECT box{};
  GetWindowRect(Handle(*list), &box);
  EXPECT_EQ(box.bottom - box.top, 30);

  // The user steps to the next month with the keyboard.
  list->SetFocus();
  SendMessageW(Handle(*list), WM_KEYDOWN, VK_DOWN, 1);
  EXPECT_EQ(list->Selection(), 1);
  EXPECT_NE(listener.trace.find("selchange"), std::string::npos) << listener.trace;

  // New items: nothing selected, nothing raised.
  listener.trace.clear();
  list->SetItems({"2010", "2011"});
  EXPECT_EQ(list->Selection(), -1);
  EXPECT_EQ(listener.trace, "");
}

TEST_F(ControlsTest, SurfacePaintsThroughItsCanvasAndHearsInputFirst) {
  Recorder listener;
  auto surface = windows_->CreateSurface(*window_, {0, 0, 365, 262}, listener);
  surface->InvalidateAll();
  surface->Update();
  ASSERT_NE(listener.painted_on, nullptr);
  EXPECT_EQ(listener.painted_on->size(), (Size{365, 262}));
  EXPECT_EQ(listener.painted, (Rect{0, 0, 365, 262}));
  HDC dc = GetDC(Handle(*surface));
  EXPECT_EQ(GetPixel(dc, 100, 100), RGB(255, 0, 0));
  ReleaseDC(Handle(*surface), dc);
  listener.painted_on = nullptr;
  surface->Invalidate({10, 20, 30, 40});
  surface->Update();
  EXPECT_EQ(listener.painted, (Rect{10, 20, 30, 40}));

  listener.trace.clear();
  surface->SetTakesFocus(true);
  SendMessageW(Handle(*surface), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 7));
  SendMessageW(Handle(*surface), WM_LBUTTONUP, 0, MAKELPARAM(5, 7));
  SendMessageW(Handle(*surface), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 7));
  SendMessageW(Handle(*surface), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(6, 8));
  EXPECT_TRUE(surface->HasFocus());
  EXPECT_EQ(listener.trace, "focus pressL(5,7) releaseL(5,7) doubleL(5,7) pressR(6,8) ");

  listener.trace.clear();
  SendMessageW(Handle(*surface), WM_KEYDOWN, VK_LEFT, 1);
  SendMessageW(Handle(*surface), WM_CHAR, 0x4E2D, 1);  // 中: D6 D0
  SendMessageW(Handle(*surface), WM_CHAR, 0xD840, 1);  // U+20000 as a surrogate pair:
  SendMessageW(Handle(*surface), WM_CHAR, 0xDC00, 1);  // its GB18030 four bytes
  SendMessageW(Handle(*surface), WM_CHAR, 0x03, 1);    // Ctrl+C: no character
  SendMessageW(Handle(*surface), WM_KEYUP, VK_LEFT, 1);
  EXPECT_EQ(listener.trace, "down37 charD6D0 char95328236 up37 ");

  // A key the listener eats gives no character either.
  listener.trace.clear();
  listener.key_answer = false;
  SendMessageW(Handle(*surface), WM_KEYDOWN, 'A', 1);
  SendMessageW(Handle(*surface), WM_CHAR, 'a', 1);
  EXPECT_EQ(listener.trace, "down65 ");
}

TEST_F(ControlsTest, TabMovesTheFocusInTheOrderOfCreationThroughGroupFrames) {
  Recorder listener;
  auto surface = windows_->CreateSurface(*window_, {0, 0, 100, 100}, listener);
  auto frame = windows_->CreateGroupFrame(*window_, {0, 100, 200, 100}, listener);
  auto inside = windows_->CreateEdit(*frame, {10, 20, 80, 20}, listener);
  auto skipped = windows_->CreateButton(*window_, {100, 0, 80, 20}, listener);
  auto last = windows_->CreateListBox(*window_, {200, 0, 80, 80}, listener);
  skipped->SetTabStop(false);
  HWND root = Handle(*window_);
  auto tab = [&] {
    MSG queued{};
    queued.hwnd = GetFocus();
    queued.message = WM_KEYDOWN;
    queued.wParam = VK_TAB;
    queued.lParam = 1;
    EXPECT_TRUE(IsDialogMessageW(root, &queued));
  };
  surface->SetFocus();
  tab();
  EXPECT_TRUE(inside->HasFocus());
  tab();
  EXPECT_TRUE(last->HasFocus());
}

TEST_F(ControlsTest, LeavingAControlWithThePointerIsHeard) {
  Recorder listener;
  auto surface = windows_->CreateSurface(*window_, {0, 0, 100, 100}, listener);
  Pump();
  POINT inside{50, 50};
  ClientToScreen(Handle(*surface), &inside);
  POINT outside{150, 150};
  ClientToScreen(Handle(*surface), &outside);
  auto settle = [] {
    for (int i = 0; i < 20; ++i) {
      Sleep(10);
      Pump();
    }
  };
  SetCursorPos(inside.x, inside.y);
  settle();
  ASSERT_NE(listener.trace.find("move(50,50)"), std::string::npos) << listener.trace;
  EXPECT_EQ(listener.trace.find("leave"), std::string::npos);
  SetCursorPos(outside.x, outside.y);
  settle();
  EXPECT_NE(listener.trace.find("leave"), std::string::npos) << listener.trace;
}

TEST_F(ControlsTest, APointerShapeIsShownOverItsControlOnly) {
  Recorder listener;
  auto link = windows_->CreateSurface(*window_, {0, 0, 100, 20}, listener);
  HWND hwnd = Handle(*link);
  auto ask = [&](WORD hit) {
    return SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(hit, WM_MOUSEMOVE));
  };
  link->SetCursor(CursorShape::kHand);
  EXPECT_EQ(ask(HTCLIENT), TRUE);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
  link->SetCursor(CursorShape::kDefault);
  ask(HTCLIENT);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
}

TEST_F(ControlsTest, ToolTipsLiveInOneToolTipControlOfTheWindow) {
  Recorder first_listener;
  Recorder second_listener;
  auto first = windows_->CreateButton(*window_, {0, 0, 80, 60}, first_listener);
  auto second = windows_->CreateButton(*window_, {90, 0, 80, 60}, second_listener);
  first->SetToolTip(Gbk("编辑当前日期的备忘"));
  second->SetToolTip(Gbk("保存当前编辑的备忘信息"));
  second->SetToolTip(Gbk("打开搜索面板"));
  HWND tip = nullptr;
  for (HWND at = FindWindowExW(nullptr, nullptr, TOOLTIPS_CLASSW, nullptr); at != nullptr;
       at = FindWindowExW(nullptr, at, TOOLTIPS_CLASSW, nullptr)) {
    if (GetWindow(at, GW_OWNER) == Handle(*window_)) {
      ASSERT_EQ(tip, nullptr) << "a second tooltip control for the window";
      tip = at;
    }
  }
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 2);
  auto text_of = [&](HWND control) {
    wchar_t text[128] = {};
    TTTOOLINFOW info{};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.hwnd = Handle(*window_);
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = text;
    SendMessageW(tip, TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&info));
    return std::wstring(text);
  };
  EXPECT_EQ(text_of(Handle(*first)), Wide("编辑当前日期的备忘"));
  EXPECT_EQ(text_of(Handle(*second)), Wide("打开搜索面板"));
  first->SetToolTip("");
  EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
  second.reset();
  EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 0);
}

}  // namespace
}  // namespace tarnwick::win32::testing
