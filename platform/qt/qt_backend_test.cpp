// The Qt backend against the layer's contracts, on Qt's offscreen platform:
// frame metrics, canvas pixels, partial repaints, native controls, dialogs,
// the event loop and font resolution.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "base/text.h"
#include "platform/qt/qt_canvas.h"
#include "platform/qt/qt_fonts.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_text.h"
#include "testing/temp_dir.h"
#include "testing/qt_test_application.h"

namespace tarnwick::qt {
namespace {

struct Recorder : WindowListener {
  std::vector<bool> activations;
  void OnActivationChanged(bool active, bool) override { activations.push_back(active); }
  std::vector<Rect> painted;
  std::vector<MouseEvent> mouse;
  std::vector<KeyEvent> mnemonics;
  int clicks = 0, selection_changes = 0, close_requests = 0;
  bool answer_mouse = true;
  bool mnemonic_answer = true;
  void OnPaint(Canvas& canvas, const Rect& dirty) override {
    painted.push_back(dirty);
    canvas.FillRect(dirty, Rgb(10, 20, 30));
  }
  bool OnMouse(const MouseEvent& event) override {
    mouse.push_back(event);
    return answer_mouse;
  }
  void OnClicked() override { ++clicks; }
  void OnSelectionChanged() override { ++selection_changes; }
  bool OnCloseRequested() override {
    ++close_requests;
    return false;
  }
  bool OnMnemonicKey(const KeyEvent& event) override {
    mnemonics.push_back(event);
    return mnemonic_answer;
  }
};

QColor PixelAt(const QtCanvas& canvas, int x, int y) { return canvas.buffer()->toImage().pixelColor(x, y); }

class QtBackendTest : public ::testing::Test {
 protected:
  WindowStyle MainStyle() {
    WindowStyle style;
    style.frame = FrameStyle::kFixed;
    return style;
  }
  // The strip at the top edge: no frame, on top, out of the task bar, never activated.
  WindowStyle StripStyle() {
    WindowStyle style;
    style.frame = FrameStyle::kNone;
    style.system_menu = false;
    style.in_taskbar = false;
    style.always_on_top = true;
    style.takes_activation = false;
    return style;
  }
  QtPlatform platform_;
  Recorder window_listener_;
};

TEST_F(QtBackendTest, OuterSizesMapToTheClientAreaTheLayoutNeeds) {
  auto window = platform_.windows().CreateTopLevelWindow(MainStyle(), {50, 50, 371, 596},
                                                         Gbk("Tarnwick V2.8 beta  "), window_listener_);
  EXPECT_EQ(window->ClientSize(), (Size{365, 568}));
  EXPECT_EQ(window->OuterRect(), (Rect{50, 50, 371, 596}));
  window->SetOuterRect({500, 0, 664, 596});
  EXPECT_EQ(window->ClientSize(), (Size{658, 568}));
  EXPECT_EQ(window->OuterRect(), (Rect{500, 0, 664, 596}));
  window->SetOuterRect({500, 0, 371, 290});
  EXPECT_EQ(window->ClientSize(), (Size{365, 262}));

  // Other frame styles take the same insets as on every backend.
  WindowStyle sunken = MainStyle();
  sunken.frame = FrameStyle::kFixedSunken;
  Recorder sunken_listener;
  auto framed = platform_.windows().CreateTopLevelWindow(sunken, {0, 0, 200, 100}, "", sunken_listener);
  EXPECT_EQ(framed->ClientSize(), (Size{190, 68}));
  WindowStyle tool = MainStyle();
  tool.frame = FrameStyle::kFixedTool;
  tool.system_menu = false;
  Recorder tool_listener;
  auto palette = platform_.windows().CreateTopLevelWindow(tool, {0, 0, 200, 100}, "tool", tool_listener);
  EXPECT_EQ(palette->ClientSize(), (Size{194, 78}));

  // The strip at the top edge has no frame: outer and client agree.
  Recorder strip_listener;
  auto dock = platform_.windows().CreateTopLevelWindow(StripStyle(), {50, 0, 370, 2}, "", strip_listener);
  EXPECT_EQ(dock->ClientSize(), (Size{370, 2}));
  dock->Show();
  EXPECT_TRUE(dock->IsVisible());
  EXPECT_FALSE(dock->IsActive());
  dock->SetWindowOrder(WindowOrder::kAlwaysOnTop);
  dock->SetWindowOrder(WindowOrder::kTop);
  EXPECT_TRUE(dock->IsVisible()) << "changing the order must not hide the window";
  EXPECT_EQ(dock->OuterRect(), (Rect{50, 0, 370, 2}));
}

TEST_F(QtBackendTest, TheMainWindowHearsDeactivationAndTheStripHearsClicks) {
  auto main = platform_.windows().CreateTopLevelWindow(MainStyle(), {50, 50, 371, 596}, "main", window_listener_);
  main->Show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(ContainerOf(main.get())));
  EXPECT_EQ(window_listener_.activations, std::vector<bool>{true});

  Recorder strip_listener;
  auto dock = platform_.windows().CreateTopLevelWindow(StripStyle(), {50, 0, 370, 2}, "", strip_listener);
  dock->Show();
  dock->SetWindowOrder(WindowOrder::kTop);
  QTest::mouseClick(ContainerOf(dock.get()), Qt::LeftButton, {}, QPoint(100, 1));
  platform_.loop().ProcessPendingEvents();
  ASSERT_FALSE(strip_listener.mouse.empty()) << "the strip hears the click";
  EXPECT_EQ(strip_listener.mouse.front().action, MouseAction::kPress);
  EXPECT_EQ(strip_listener.mouse.front().position, (Point{100, 1}));
  // That the click leaves the main window active is the window system's to
  // honour (the offscreen platform does not): app/e2e checks it on X11.

  Recorder other_listener;
  auto other = platform_.windows().CreateTopLevelWindow(MainStyle(), {500, 50, 200, 200}, "other", other_listener);
  other->Show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(ContainerOf(other.get())));
  EXPECT_EQ(window_listener_.activations, (std::vector<bool>{true, false}));
}

TEST_F(QtBackendTest, CloseRequestsAskTheListenerAndKeepTheWindow) {
  auto window = platform_.windows().CreateTopLevelWindow(MainStyle(), {50, 50, 371, 596}, "x", window_listener_);
  window->Show();
  ContainerOf(window.get())->close();
  EXPECT_EQ(window_listener_.close_requests, 1);
  EXPECT_TRUE(window->IsVisible());
}

TEST_F(QtBackendTest, CanvasDrawsOnTheNamedPixels) {
  QtCanvas canvas(Size{20, 10});
  EXPECT_EQ(PixelAt(canvas, 0, 0), QColor(Qt::white));
  canvas.FillRect({2, 2, 3, 3}, Rgb(255, 0, 0));
  EXPECT_EQ(PixelAt(canvas, 2, 2), QColor(255, 0, 0));
  EXPECT_EQ(PixelAt(canvas, 4, 4), QColor(255, 0, 0));
  EXPECT_EQ(PixelAt(canvas, 5, 4), QColor(Qt::white)) << "right edge excluded";
  // A line stops short of its end point, in either direction.
  canvas.DrawLine({10, 0}, {15, 0}, Rgb(0, 0, 255));
  EXPECT_EQ(PixelAt(canvas, 10, 0), QColor(0, 0, 255));
  EXPECT_EQ(PixelAt(canvas, 14, 0), QColor(0, 0, 255));
  EXPECT_EQ(PixelAt(canvas, 15, 0), QColor(Qt::white));
  canvas.DrawLine({19, 9}, {19, 5}, Rgb(0, 0, 255));
  EXPECT_EQ(PixelAt(canvas, 19, 6), QColor(0, 0, 255));
  EXPECT_EQ(PixelAt(canvas, 19, 5), QColor(Qt::white));
  // A frame lies just inside its rectangle and leaves the inside alone.
  canvas.FrameRect({10, 3, 5, 5}, Rgb(0, 128, 0));
  EXPECT_EQ(PixelAt(canvas, 10, 3), QColor(0, 128, 0));
  EXPECT_EQ(PixelAt(canvas, 14, 7), QColor(0, 128, 0));
  EXPECT_EQ(PixelAt(canvas, 12, 5), QColor(Qt::white));
  // Clipping holds fills inside the clip rectangle.
  canvas.SetClip({0, 8, 3, 2});
  canvas.FillRect({0, 0, 20, 10}, Rgb(1, 2, 3));
  canvas.ResetClip();
  EXPECT_EQ(PixelAt(canvas, 1, 9), QColor(1, 2, 3));
  EXPECT_EQ(PixelAt(canvas, 3, 9), QColor(Qt::white));
}

TEST_F(QtBackendTest, TextAndPicturesStayInsideTheirRectangles) {
  QtCanvas canvas(Size{120, 40});
  Font song{Gbk("宋体"), 14};
  canvas.DrawTextAligned({10, 10, 60, 20}, Gbk("转到今日"), song, Rgb(0, 0, 0),
                         text_flags::kCenter | text_flags::kVerticalCenter | text_flags::kSingleLine);
  QImage image = canvas.buffer()->toImage();
  int inside = 0, outside = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x) {
      bool dark = qGray(image.pixel(x, y)) < 128;
      bool in_rect = x >= 10 && x < 70 && y >= 10 && y < 30;
      (in_rect ? inside : outside) += dark;
    }
  EXPECT_GT(inside, 40) << "the Chinese caption was drawn (not boxes of nothing)";
  EXPECT_EQ(outside, 0);
  Size measured = static_cast<Canvas&>(canvas).MeasureText(Gbk("转到今日"), song, text_flags::kSingleLine);
  EXPECT_GE(measured.width, 4 * 12);
  EXPECT_LE(measured.width, 4 * 16);
  // Half-transparent red over white blends; the transparent pixel keeps white.
  Image picture(2, 1, Pixel{255, 0, 0, 128});
  picture.at(1, 0).alpha = 0;
  canvas.DrawImage(picture, {100, 0, 2, 1});
  QColor blended = PixelAt(canvas, 100, 0);
  EXPECT_EQ(blended.red(), 255);
  EXPECT_NEAR(blended.green(), 127, 2);
  EXPECT_EQ(PixelAt(canvas, 101, 0), QColor(Qt::white));
  // An off-screen buffer shows once it is copied.
  auto buffer = canvas.CreateOffscreen({4, 4});
  buffer->FillRect({0, 0, 4, 4}, Rgb(9, 9, 9));
  EXPECT_EQ(PixelAt(canvas, 110, 30), QColor(Qt::white));
  canvas.DrawCanvas(*buffer, {110, 30});
  EXPECT_EQ(PixelAt(canvas, 113, 33), QColor(9, 9, 9));
}

TEST_F(QtBackendTest, SurfacesRepaintOnlyTheInvalidRectangles) {
  auto window = platform_.windows().CreateTopLevelWindow(MainStyle(), {0, 0, 371, 596}, "x", window_listener_);
  Recorder surface_listener;
  auto surface = platform_.windows().CreateSurface(*window, {0, 0, 365, 262}, surface_listener);
  window->Show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(ContainerOf(window.get())));
  platform_.loop().ProcessPendingEvents();
  ASSERT_FALSE(surface_listener.painted.empty());
  surface_listener.painted.clear();
  // Two cells far apart and the footer, as a pointer move over the calendar.
  surface->Invalidate({1, 51, 51, 31});
  surface->Invalidate({313, 211, 51, 31});
  surface->Invalidate({0, 242, 365, 20});
  surface->Update();
  int area = 0;
  for (const Rect& rect : surface_listener.painted) area += rect.width * rect.height;
  EXPECT_EQ(area, 51 * 31 * 2 + 365 * 20);
}

TEST_F(QtBackendTest, ListBoxKeepsTheProgramsOrderAndReportsOnlyUserSelections) {
  auto window = platform_.windows().CreateTopLevelWindow(MainStyle(), {0, 0, 371, 596}, "x", window_listener_);
  Recorder list_listener;
  auto list = platform_.windows().CreateListBox(*window, {5, 22, 131, 200}, list_listener);
  list->InsertItem(0, Gbk("2011年9月1日"));
  list->InsertItem(0, Gbk("2011年10月1日"));
  list->InsertItem(2, Gbk("本月无备忘"));
  ASSERT_EQ(list->Count(), 3);
  EXPECT_EQ(list->ItemText(0), Gbk("2011年10月1日"));
  EXPECT_EQ(list->ItemText(2), Gbk("本月无备忘"));
  EXPECT_EQ(list->ItemText(3), "");
  EXPECT_EQ(list->Selection(), -1);
  list->SetSelection(1);
  EXPECT_EQ(list->Selection(), 1);
  EXPECT_EQ(list_listener.selection_changes, 0) << "the program's own selection raises nothing";
  window->Show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(ContainerOf(window.get())));
  auto* widget = ContainerOf(window.get())->findChild<QListWidget*>();
  QRect third = widget->visualItemRect(widget->item(2));
  QTest::mouseClick(widget->viewport(), Qt::LeftButton, {}, third.center());
  EXPECT_EQ(list->Selection(), 2);
  EXPECT_EQ(list_listener.selection_changes, 1);
  // A press the listener refuses never reaches the list.
  list_listener.answer_mouse = false;
  QTest::mouseClick(widget->viewport(), Qt::LeftButton, {}, widget->visualItemRect(widget->item(0)).center());
  EXPECT_EQ(list->Selection(), 2);
  ASSERT_FALSE(list_listener.mouse.empty());
  EXPECT_EQ(list_listener.mouse.back().button, MouseButton::kLeft);
  list->Clear();
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(list_listener.selection_changes, 1);
}

TEST_F(QtBackendTest, RichEditCountsGbkBytesAndCrLfLineBreaks) {
  auto window = platform_.windows().CreateTopLevelWindow(MainStyle(), {0, 0, 371, 596}, "x", window_listener_);
  Recorder edit_listener;
  auto edit = platform_.windows().CreateRichEdit(*window, {0, 264, 365, 200}, edit_listener);
  ASSERT_NE(edit, nullptr);
  edit->SetText(Gbk("中文a\r\nb"));
  EXPECT_EQ(edit->Text(), Gbk("中文a\r\nb"));
  EXPECT_FALSE(edit->IsModified());
  EXPECT_EQ(edit->SelectionStart(), 0) << "the caret starts at the beginning";
  EXPECT_EQ(edit->SelectionLength(), 0);
  edit->SetSelection(0, -1);
  EXPECT_EQ(edit->SelectionStart(), 0);
  EXPECT_EQ(edit->SelectionLength(), 8);
  // A position inside a double-byte character moves to its start.
  edit->SetSelection(3, 1);
  EXPECT_EQ(edit->SelectionStart(), 2);
  EXPECT_EQ(edit->SelectedText(), Gbk("文"));
  edit->SetSelection(2, 3);
  EXPECT_EQ(edit->SelectedText(), Gbk("文a"));
  edit->Copy();
  EXPECT_EQ(platform_.shell().ClipboardText(), Gbk("文a"));
  // Read-only: cut, paste and delete leave the text alone.
  edit->SetReadOnly(true);
  edit->Cut();
  edit->Clear();
  edit->Paste();
  EXPECT_EQ(edit->Text(), Gbk("中文a\r\nb"));
  edit->SetReadOnly(false);
  edit->Clear();
  EXPECT_EQ(edit->Text(), Gbk("中\r\nb"));
  edit->SetSelection(0, 0);
  edit->Paste();
  EXPECT_EQ(edit->Text(), Gbk("文a中\r\nb"));
  // A character outside GBK survives as its GB18030 code.
  platform_.shell().SetClipboardText(Utf8ToGbk("😀"));
  edit->SetSelection(0, -1);
  edit->Paste();
  EXPECT_EQ(GbkToUtf8(edit->Text()), "😀");
  edit->SetText("");
  edit->SetSelection(0, -1);
  EXPECT_EQ(edit->SelectionLength(), 0);

  // Typing: a single-line editor refuses Enter; the user's change is marked.
  window->Show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(ContainerOf(window.get())));
  edit->SetFocus();
  auto* text = ContainerOf(window.get())->findChild<QPlainTextEdit*>();
  edit->SetMultiLine(false);
  QTest::keyClicks(text, QStringLiteral("ab"));
  QTest::keyClick(text, Qt::Key_Return);
  EXPECT_EQ(edit->Text(), "ab");
  EXPECT_TRUE(edit->IsModified());
  edit->SetMultiLine(true);
  QTest::keyClick(text, Qt::Key_Return);
  EXPECT_EQ(edit->Text(), "ab\r\n");

  // Over the maximum length, the insertion keeps the whole characters that fit.
  edit->SetMaxLength(8);
  platform_.shell().SetClipboardText(Gbk("中文字"));
  edit->SetSelection(2, 0);
  edit->Paste();
  EXPECT_EQ(edit->Text(), Gbk("ab中文\r\n"));
  EXPECT_EQ(edit->SelectionStart(), 6);
  EXPECT_TRUE(edit->IsModified());
  // A text the program sets is kept whole; pasting over a selection then
  // goes in only as far as the room the deletion made.
  edit->SetText("abcdefghij");
  EXPECT_EQ(edit->Text(), "abcdefghij");
  edit->SetSelection(10, 0);
  edit->Paste();
  EXPECT_EQ(edit->Text(), "abcdefghij");
  edit->SetSelection(0, 4);
  edit->Paste();
  EXPECT_EQ(edit->Text(), Gbk("中") + "efghij");
}

TEST_F(QtBackendTest, ButtonsClickOnlyWhenEnabledAndLeaveMnemonicsToTheProgram) {
  auto window = platform_.windows().CreateTopLevelWindow(MainStyle(), {0, 0, 371, 596}, "x", window_listener_);
  Recorder button_listener, check_listener;
  auto button = platform_.windows().CreateButton(*window, {106, 16, 30, 25}, button_listener);
  auto check = platform_.windows().CreateCheckBox(*window, {14, 100, 104, 24}, check_listener);
  button->SetCaption(Gbk("搜索(&W)"));
  check->SetCaption(Gbk("备忘是否加密？"));
  button->Click();
  EXPECT_EQ(button_listener.clicks, 1);
  button->SetEnabled(false);
  button->Click();
  EXPECT_EQ(button_listener.clicks, 1);
  check->Click();
  EXPECT_TRUE(check->IsChecked());
  EXPECT_EQ(check_listener.clicks, 1);
  check->SetChecked(false);
  EXPECT_EQ(check_listener.clicks, 1) << "the program's own change is no click";

  // Too narrow for icon and caption: the icon alone, the caption in the tooltip.
  button->SetCaption(Gbk("搜索"));
  button->SetIcon(Image(16, 16, Pixel{0, 0, 255, 255}));
  auto* push = ContainerOf(window.get())->findChild<QPushButton*>();
  EXPECT_EQ(push->text(), "");
  EXPECT_EQ(push->toolTip(), QStringLiteral(u"搜索"));
  button->SetRect({106, 16, 80, 25});
  EXPECT_EQ(push->text(), QStringLiteral(u"搜索"));
  EXPECT_EQ(push->toolTip(), "");
  button->SetCaption(Gbk("搜索(&W)"));

  button->SetEnabled(true);
  window->Show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(ContainerOf(window.get())));
  QWidget* focus = QApplication::focusWidget();
  QTest::keyClick(focus != nullptr ? focus : ContainerOf(window.get()), Qt::Key_W, Qt::AltModifier);
  ASSERT_EQ(window_listener_.mnemonics.size(), 1u);
  EXPECT_EQ(window_listener_.mnemonics[0].key_code, 'W');
  EXPECT_EQ(window_listener_.mnemonics[0].key_state, kKeyStateAlt);
  EXPECT_EQ(button_listener.clicks, 1) << "the caption's ampersand is no shortcut of its own";
}

TEST_F(QtBackendTest, EditsMaskAndLimitByBytes) {
  auto window = platform_.windows().CreateTopLevelWindow(MainStyle(), {0, 0, 371, 596}, "x", window_listener_);
  Recorder edit_listener;
  auto edit = platform_.windows().CreateEdit(*window, {7, 20, 95, 20}, edit_listener);
  edit->SetMaxLength(4);
  edit->SetMasked(true);
  auto* line = ContainerOf(window.get())->findChild<QLineEdit*>();
  EXPECT_EQ(line->echoMode(), QLineEdit::Password);
  window->Show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(ContainerOf(window.get())));
  edit->SetFocus();
  QTest::keyClicks(line, QStringLiteral("ab"));
  // Chinese arrives from the desktop's input method as committed text.
  QInputMethodEvent commit;
  commit.setCommitString(QStringLiteral(u"中"));
  QApplication::sendEvent(line, &commit);
  EXPECT_EQ(edit->Text(), Gbk("ab中"));
  QTest::keyClicks(line, QStringLiteral("c"));
  EXPECT_EQ(edit->Text(), Gbk("ab中")) << "a fifth byte is refused";
  edit->SetText("abcdef");
  EXPECT_EQ(edit->Text(), "abcdef") << "the program's text is kept whole";
  line->end(false);
  QTest::keyClicks(line, QStringLiteral("x"));
  EXPECT_EQ(edit->Text(), "abcdef");
}

TEST_F(QtBackendTest, MessageAndInputBoxesShowWhatWasAskedAndAnswerTheButton) {
  MessageBoxRequest request;
  request.title = Gbk("信息：");
  request.text = Gbk("数据库不存在，是否创建？");
  request.buttons = MessageButtons::kYesNo;
  QString seen_title, seen_text;
  QStringList captions;
  bool modal_to_all = false;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    seen_title = box->windowTitle();
    seen_text = box->text();
    modal_to_all = box->windowModality() == Qt::ApplicationModal;
    for (auto* button : box->buttons()) captions << button->text();
    box->button(QMessageBox::No)->click();
  });
  EXPECT_EQ(platform_.dialogs().ShowMessageBox(request), MessageResult::kNo);
  EXPECT_EQ(seen_title, QStringLiteral(u"信息："));
  EXPECT_EQ(seen_text, QStringLiteral(u"数据库不存在，是否创建？"));
  EXPECT_TRUE(captions.contains(QStringLiteral(u"是(&Y)")));
  EXPECT_TRUE(modal_to_all);

  InputBoxRequest input;
  input.title = Gbk("解锁");
  input.prompt = Gbk("请输入密码：");
  input.masked = true;
  input.confirm_caption = Gbk("确认输入(&O)");
  input.cancel_caption = Gbk("取消(&C)");
  QTimer::singleShot(0, [&] {
    QWidget* dialog = QApplication::activeModalWidget();
    ASSERT_NE(dialog, nullptr);
    auto* entry = dialog->findChild<QLineEdit*>();
    EXPECT_EQ(entry->echoMode(), QLineEdit::Password);
    entry->setText(QStringLiteral(u"密码1"));
    for (auto* button : dialog->findChildren<QPushButton*>())
      if (button->text() == QStringLiteral(u"确认输入(&O)")) button->click();
  });
  EXPECT_EQ(platform_.dialogs().ShowInputBox(input), std::optional<std::string>(Gbk("密码1")));
  QTimer::singleShot(0, [&] {
    for (auto* button : QApplication::activeModalWidget()->findChildren<QPushButton*>())
      if (button->text() == QStringLiteral(u"取消(&C)")) button->click();
  });
  EXPECT_EQ(platform_.dialogs().ShowInputBox(input), std::nullopt);
}

// The entry of an input box, shown or masked, holds no text and no undo
// history once the box closes, however it closes.
TEST_F(QtBackendTest, InputBoxLetsGoOfTheTypedTextHoweverItCloses) {
  enum class Close { kConfirm, kCancel, kCloseButton };
  for (const bool masked : {false, true}) {
    for (const Close close : {Close::kConfirm, Close::kCancel, Close::kCloseButton}) {
      InputBoxRequest input;
      input.title = Gbk("输入新密码");
      input.prompt = Gbk("请输入新的密码：");
      input.masked = masked;
      input.confirm_caption = Gbk("确认输入(&O)");
      input.cancel_caption = Gbk("取消(&C)");
      bool checked = false;
      QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* entry = dialog->findChild<QLineEdit*>();
        // Typed as a user types: undoable, so the entry's history holds it too.
        entry->insert(QStringLiteral("pw-"));
        entry->undo();
        ASSERT_EQ(entry->text(), QString()) << "the history works";
        entry->insert(QStringLiteral("pw-typed"));
        // Connected after the box's own handler, so it sees the entry as the box left it.
        QObject::connect(dialog, &QDialog::finished, [&checked, entry] {
          checked = true;
          EXPECT_TRUE(entry->text().isEmpty());
          entry->undo();
          EXPECT_TRUE(entry->text().isEmpty()) << "undo brings nothing back";
        });
        if (close == Close::kCloseButton) {
          dialog->close();
          return;
        }
        const QString caption = close == Close::kConfirm ? QStringLiteral(u"确认输入(&O)") : QStringLiteral(u"取消(&C)");
        for (auto* button : dialog->findChildren<QPushButton*>())
          if (button->text() == caption) button->click();
      });
      const std::optional<std::string> answer = platform_.dialogs().ShowInputBox(input);
      EXPECT_TRUE(checked) << masked << " " << static_cast<int>(close);
      EXPECT_EQ(answer, close == Close::kConfirm ? std::optional<std::string>("pw-typed") : std::nullopt);
    }
  }
}

TEST_F(QtBackendTest, SaveDialogFiltersAndAppendsTheDefaultExtension) {
  tarnwick::testing::TempDir folder;
  FileDialogRequest request;
  request.filter = Gbk("文本文件(*.txt)|*.txt|所有文件(*.*)|*.*");
  request.default_extension = "txt";
  QStringList filters;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    filters = dialog->nameFilters();
    dialog->setDirectory(QString::fromStdString(folder.path().string()));
    dialog->selectFile(QStringLiteral(u"备忘导出"));
    QMetaObject::invokeMethod(dialog, "accept");
  });
  auto chosen = platform_.dialogs().ShowFileDialog(request);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(GbkToUtf8(*chosen), (folder.path() / "备忘导出.txt").string());
  EXPECT_EQ(filters, (QStringList{QStringLiteral(u"文本文件(*.txt) (*.txt)"), QStringLiteral(u"所有文件(*.*) (*.*)")}));
}

// A name typed without the extension is checked as the file it will be:
// replacing an existing memos.txt is asked first, in Chinese, and a No
// leaves the dialog open.
TEST_F(QtBackendTest, TheSaveDialogAsksInChineseBeforeReplacingTheFileTheExtensionNames) {
  tarnwick::testing::TempDir folder;
  std::ofstream(folder.File("memos.txt")) << "old";
  FileDialogRequest request;
  request.filter = Gbk("文本文件(.txt)|*.txt");
  request.default_extension = "txt";
  QString question, title;
  bool reopened_after_no = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    title = dialog->windowTitle();
    dialog->setDirectory(QString::fromStdString(folder.path().string()));
    dialog->selectFile(QStringLiteral("memos"));
    auto answer = [&](QMessageBox::StandardButton button) {
      QTimer::singleShot(0, [&, button] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr) << "no question before replacing";
        question = box->text();
        box->button(button)->click();
      });
    };
    answer(QMessageBox::No);
    QMetaObject::invokeMethod(dialog, "accept");
    reopened_after_no = dialog->isVisible();
    answer(QMessageBox::Yes);
    QMetaObject::invokeMethod(dialog, "accept");
  });
  auto chosen = platform_.dialogs().ShowFileDialog(request);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(GbkToUtf8(*chosen), folder.File("memos.txt"));
  EXPECT_TRUE(reopened_after_no);
  EXPECT_TRUE(question.contains(QStringLiteral("memos.txt"))) << question.toStdString();
  EXPECT_TRUE(question.contains(QStringLiteral(u"替换"))) << question.toStdString();
  EXPECT_FALSE(title.contains(QStringLiteral("Save"))) << title.toStdString();
}

TEST_F(QtBackendTest, CommandLinesStartWithQuotedPathsAndArguments) {
  tarnwick::testing::TempDir folder;
  std::string target = folder.File("link target.txt");
  // As the link fallback builds it: the quoted program, then the target.
  std::string command = "\"/usr/bin/touch\" \"" + target + "\"";
  ASSERT_TRUE(platform_.shell().RunCommandLine(command));
  for (int waited = 0; !std::filesystem::exists(target) && waited < 5000; waited += 20) QTest::qWait(20);
  EXPECT_TRUE(std::filesystem::exists(target));
  EXPECT_FALSE(platform_.shell().RunCommandLine("\"/nonexistent/program\" x"));
  EXPECT_FALSE(platform_.shell().RunCommandLine(""));
}

TEST_F(QtBackendTest, PostedTasksRunInOrderAndQuitBeforeRunEndsAtOnce) {
  std::vector<int> order;
  platform_.loop().Post([&] { order.push_back(1); });
  platform_.loop().Post([&] {
    order.push_back(2);
    platform_.loop().Post([&] { order.push_back(3); });
  });
  EXPECT_TRUE(order.empty()) << "posted tasks wait for the loop";
  platform_.loop().ProcessPendingEvents();
  platform_.loop().ProcessPendingEvents();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));

  QtEventLoop loop;
  loop.Quit(7);
  EXPECT_EQ(loop.Run(), 7);
}

TEST_F(QtBackendTest, TimersTickWithoutPilingUpAndStopInsideTheirTick) {
  QtEventLoop loop;
  int ticks = 0, nested_ticks = 0;
  EventLoop::TimerId id = 0;
  id = loop.StartTimer(10, [&] {
    ++ticks;
    if (ticks == 1) {
      // A long handler that keeps the program responsive sees no second tick.
      int before = ticks;
      for (int i = 0; i < 5; ++i) {
        QTest::qWait(15);
        loop.ProcessPendingEvents();
      }
      nested_ticks = ticks - before;
    }
    if (ticks == 3) loop.StopTimer(id);
  });
  EXPECT_GT(id, 0);
  for (int waited = 0; ticks < 3 && waited < 5000; waited += 10) QTest::qWait(10);
  QTest::qWait(100);  // stopped: no fourth tick comes
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(nested_ticks, 0);
  uint32_t start = loop.TickCount();
  loop.Sleep(20);
  EXPECT_GE(loop.TickCount() - start, 19u);
}

TEST_F(QtBackendTest, LayoutFontsResolveToInstalledChineseFaces) {
  if (SongFamily().isEmpty()) GTEST_SKIP() << "no CJK font installed";
  QFont song = ResolveFont(ToQString(Gbk("宋体")), 14);
  EXPECT_EQ(QFontInfo(song).family(), SongFamily());
  EXPECT_EQ(QFontInfo(song).pixelSize(), 14);
  EXPECT_TRUE(QFontDatabase::writingSystems(SongFamily()).contains(QFontDatabase::SimplifiedChinese));
  Font gui = platform_.windows().DefaultGuiFont();
  EXPECT_EQ(ToQString(gui.face), GuiFamily());
  EXPECT_EQ(gui.height, 12);
  EXPECT_TRUE(QFontDatabase::writingSystems(GuiFamily()).contains(QFontDatabase::SimplifiedChinese));
  EXPECT_TRUE(QFontMetrics(QApplication::font()).inFont(QChar(u'备')));
}

// The button bar's captions: Latin capitals in 宋体 at 12 pixels are drawn
// crisp (text colour or background, nothing between) and at the size a
// 12-pixel Song face gives them, not shrunk and smoothed into a grey smudge.
TEST_F(QtBackendTest, SmallSongCaptionsAreCrispAndFullSized) {
  if (SongFamily().isEmpty()) GTEST_SKIP() << "no CJK font installed";
  const Font song{Gbk("宋体"), 12};
  for (const char* letter : {"W", "S", "F"}) {
    QtCanvas canvas(Size{30, 30});
    canvas.DrawTextAligned({0, 0, 30, 30}, letter, song, Rgb(0, 0, 0),
                           text_flags::kCenter | text_flags::kVerticalCenter | text_flags::kSingleLine);
    QImage image = canvas.buffer()->toImage();
    QRect dark;  // what reads as the letter
    int between = 0;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 30; ++x) {
        QColor colour = image.pixelColor(x, y);
        if (qGray(colour.rgb()) < 128) dark |= QRect(x, y, 1, 1);
        between += colour != QColor(Qt::white) && colour != QColor(Qt::black);
      }
    EXPECT_EQ(between, 0) << letter << ": smoothed pixels";
    EXPECT_GE(dark.height(), 9) << letter;
    EXPECT_GE(dark.width(), 5) << letter;
  }
  // The mnemonic's underline shows below the letter, inside the measured line.
  QtCanvas canvas(Size{30, 30});
  constexpr int kFlags = text_flags::kMnemonic | text_flags::kCenter;
  Size line = static_cast<Canvas&>(canvas).MeasureText("&W", song, kFlags);
  canvas.DrawTextAligned({5, 5, line.width, line.height}, "&W", song, Rgb(0, 0, 0), kFlags);
  QImage image = canvas.buffer()->toImage();
  int longest_dark_row = 0;
  for (int y = 5; y < 30; ++y) {
    int dark = 0;
    for (int x = 0; x < 30; ++x) dark += qGray(image.pixel(x, y)) < 128;
    if (dark >= line.width - 1) longest_dark_row = y;
  }
  EXPECT_GT(longest_dark_row, 5 + line.height / 2) << "an underline below the letter";
}

}  // namespace
}  // namespace tarnwick::qt
