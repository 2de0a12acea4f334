#include "platform/win32/tests/win32_test_support.h"

#include <commctrl.h>

namespace tarnwick::win32::testing {
namespace {

using ControlsTest = Win32WindowTest;

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

// The closed box is as high as asked (when the font fits in it).
TEST_F(ControlsTest, DropDownListIsAsHighAsAsked) {
  Recorder listener;
  auto list = windows_->CreateDropDownList(*window_, {10, 10, 80, 20}, listener);
  list->SetItems({Gbk("一月"), Gbk("二月"), Gbk("三月")});
  list->SetRect({10, 10, 80, 30});
  RECT box{};
  GetWindowRect(Handle(*list), &box);
  EXPECT_EQ(box.bottom - box.top, 30);
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
