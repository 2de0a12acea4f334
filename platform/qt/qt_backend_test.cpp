// What only the Qt backend has, on Qt's offscreen platform: text pixels and
// font resolution, the input method's path, its own dialogs' details, and
// command lines. What every backend promises is in the contract suite
// (platform/*_contract_test.cpp).
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <fstream>

#include "base/text.h"
#include "platform/qt/qt_canvas.h"
#include "platform/qt/qt_fonts.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_text.h"
#include "testing/input_box_request.h"
#include "testing/temp_dir.h"
#include "testing/qt_test_application.h"

namespace tarnwick::qt {
namespace {

struct Recorder : WindowListener {
  std::vector<bool> activations;
  void OnActivationChanged(bool active, bool) override { activations.push_back(active); }
};

class QtBackendTest : public ::testing::Test {
 protected:
  WindowStyle MainStyle() {
    WindowStyle style;
    style.frame = FrameStyle::kFixed;
    return style;
  }
  QtPlatform platform_;
  Recorder window_listener_;
};

// Another window of the program taking the activation is heard.
TEST_F(QtBackendTest, TheMainWindowHearsDeactivation) {
  auto main = platform_.windows().CreateTopLevelWindow(MainStyle(), {50, 50, 371, 596}, "main", window_listener_);
  main->Show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(ContainerOf(main.get())));
  EXPECT_EQ(window_listener_.activations, std::vector<bool>{true});
  Recorder other_listener;
  auto other = platform_.windows().CreateTopLevelWindow(MainStyle(), {500, 50, 200, 200}, "other", other_listener);
  other->Show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(ContainerOf(other.get())));
  EXPECT_EQ(window_listener_.activations, (std::vector<bool>{true, false}));
}

TEST_F(QtBackendTest, TextStaysInsideItsRectangle) {
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
}

// Chinese arrives from the desktop's input method as committed text, which
// the maximum length cuts like typing; a masked edit echoes asterisks.
TEST_F(QtBackendTest, InputMethodTextIsLimitedByBytesAndMasked) {
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
}

// The entry of an input box, shown or masked, holds no text and no undo
// history once the box closes, however it closes.
TEST_F(QtBackendTest, InputBoxLetsGoOfTheTypedTextHoweverItCloses) {
  enum class Close { kConfirm, kCancel, kCloseButton };
  for (const bool masked : {false, true}) {
    for (const Close close : {Close::kConfirm, Close::kCancel, Close::kCloseButton}) {
      const InputBoxRequest input = testing::PasswordBoxRequest(masked);
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
      const std::optional<SecretText> answer = platform_.dialogs().ShowInputBox(input);
      EXPECT_TRUE(checked) << masked << " " << static_cast<int>(close);
      EXPECT_EQ(answer.has_value(), close == Close::kConfirm);
      if (answer) EXPECT_EQ(answer->view(), "pw-typed");
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

// The call of a later copy: only this user's processes are heard (an
// abstract socket has no permissions), and a burst of calls is one call.
TEST_F(QtBackendTest, TheCopyCallAnswersOnlyItsOwnUserAndOnceForABurst) {
  const std::string name = "copy-call-test-" + std::to_string(getpid());
  int calls = 0;
  ASSERT_TRUE(platform_.shell().ListenForLaterCopies(name, [&] { ++calls; }));
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(platform_.shell().CallListeningCopy(name));  // within the backlog
  for (int waited = 0; calls == 0 && waited < 5000; waited += 20) QTest::qWait(20);
  QTest::qWait(100);
  EXPECT_EQ(calls, 1) << "a burst raises the window once";

  if (geteuid() == 0) {
    calls = 0;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Another user, calling the same abstract name directly.
      if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      const std::string path = "tarnwick-0-" + name;
      std::memcpy(address.sun_path + 1, path.data(), path.size());
      const int calling = socket(AF_UNIX, SOCK_STREAM, 0);
      const socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size());
      _exit(::connect(calling, reinterpret_cast<sockaddr*>(&address), length) == 0 ? 0 : 4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other user's call did not connect";
    QTest::qWait(300);
    EXPECT_EQ(calls, 0) << "another user's call was answered";
  }
  platform_.shell().ListenForLaterCopies(name, {});
}

TEST_F(QtBackendTest, QuitBeforeRunEndsAtOnce) {
  QtEventLoop loop;
  loop.Quit(7);
  EXPECT_EQ(loop.Run(), 7);
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
