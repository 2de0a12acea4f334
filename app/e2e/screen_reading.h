// What the end-to-end tests of the real program read off the screen and the
// disk: the main window's calendar geometry and colours, screenshots taken
// until a repaint has landed, colours by pixel counts, file contents.
// Header only: each test program names its own screenshot folder
// (TARNWICK_E2E_SHOT_DIR).
#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>

#include "app/e2e/x_session.h"

namespace tarnwick::e2e {

// The calendar at the client's top left: navigation bar 30, weekday header
// 20, six rows of 32, footer 20; cells 52 wide with one-pixel lines. The memo
// editor below it, then the button bar.
inline constexpr int kHeaderTop = 30, kGridTop = 50, kFooterTop = 242;
inline constexpr int kCellWidth = 52, kCellHeight = 32;
inline constexpr int kEditorTop = 264, kEditorHeight = 200, kBarTop = 464;

inline constexpr QRgb kBarBlue = 0xFF296DB5, kShownMonth = 0xFFFFFAC2, kOtherMonth = 0xFFD3D9D6;

// Screenshots stay in the build folder for a person to look at.
inline std::filesystem::path ShotPath(const std::string& name) {
  return std::filesystem::path(TARNWICK_E2E_SHOT_DIR) / (name + ".png");
}

// A screenshot as 32-bit pixels: a shot of few colours is stored with a
// palette, and images of different formats never compare equal, whatever
// their pixels.
inline QImage LoadShot(const std::filesystem::path& path) {
  QImage image;
  image.load(QString::fromStdString(path.string()));
  return image.isNull() ? image : image.convertToFormat(QImage::Format_RGB32);
}

// Screenshots until `ready` holds for one (or `limit` passes), so a repaint
// that lands late on a busy machine is not mistaken for a wrong colour.
template <class Ready>
QImage ShotWhen(const XSession& session, const std::string& name, Ready ready, std::chrono::milliseconds limit,
                std::chrono::milliseconds pause) {
  QImage image;
  for (auto deadline = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < deadline;) {
    EXPECT_TRUE(session.Screenshot(ShotPath(name)));
    image = LoadShot(ShotPath(name));
    if (!image.isNull() && ready(image)) break;
    std::this_thread::sleep_for(pause);
  }
  return image;
}

// The colour covering most of a rectangle of the image (text over it aside).
inline QRgb DominantColour(const QImage& image, int left, int top, int width, int height) {
  std::map<QRgb, int> count;
  for (int y = top; y < top + height; ++y)
    for (int x = left; x < left + width; ++x) ++count[image.pixel(x, y) | 0xFF000000];
  QRgb best = 0;
  int most = -1;
  for (auto [colour, n] : count)
    if (n > most) best = colour, most = n;
  return best;
}

// A calendar cell's background, read from its top-left corner away from its
// texts; the client's top left is at (`left`, `top`) of the image.
inline QRgb CellColour(const QImage& image, int left, int top, int row, int column) {
  return DominantColour(image, left + column * kCellWidth + 2, top + kGridTop + row * kCellHeight + 2, 8, 3);
}

// The 42 cells row by row: 'S' a day of the shown month (in its colour or
// `lit`), 'o' a day of another month, '?' any other colour.
inline std::string MonthPattern(const QImage& image, int left, int top, QRgb lit = kShownMonth) {
  std::string pattern;
  for (int row = 0; row < 6; ++row)
    for (int column = 0; column < 7; ++column) {
      const QRgb colour = CellColour(image, left, top, row, column);
      pattern += colour == kShownMonth || colour == lit ? 'S' : colour == kOtherMonth ? 'o' : '?';
    }
  return pattern;
}

inline std::string Hex(QRgb colour) { return QColor(colour).name().toStdString(); }

// Today, read once per run: a run that crosses midnight still compares
// every date with the day it started on.
struct Today {
  int month = 0;  // 1 to 12
  long serial = 0;  // as the store keeps dates: whole days since 1899-12-30
};
inline Today ReadToday() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::chrono::sys_days today{std::chrono::year{local.tm_year + 1900} / (local.tm_mon + 1) / local.tm_mday};
  const std::chrono::sys_days epoch{std::chrono::year{1899} / 12 / 30};
  return {local.tm_mon + 1, (today - epoch).count()};
}

inline std::string FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The user double-clicks the main window's status line at (x, y) on the
// screen and answers the clear-all question No (its N key). Whether the main
// window (its title matching main_title) stayed shown while the question was
// up and after it was answered; a question that never came fails the test.
struct WindowThroughQuestion {
  bool shown_while_asked = false;
  bool shown_after = false;
};
inline WindowThroughQuestion AnswerClearAllNo(const XSession& session, int x, int y, const std::string& main_title) {
  using namespace std::chrono_literals;
  WindowThroughQuestion seen;
  EXPECT_TRUE(session.MovePointer(x, y));
  EXPECT_EQ(session.Run({"xdotool", "click", "--repeat", "2", "--delay", "60", "1"}).exit_code, 0);
  unsigned long question = session.WaitForWindow("^清空数据库：$", 30s);
  if (question == 0) {
    ADD_FAILURE() << "the clear-all question did not appear";
    return seen;
  }
  std::this_thread::sleep_for(500ms);
  seen.shown_while_asked = session.WaitForWindow(main_title, 100ms) != 0;
  EXPECT_TRUE(session.Focus(question));
  EXPECT_TRUE(session.Key("n"));
  for (auto deadline = std::chrono::steady_clock::now() + 20s;
       std::chrono::steady_clock::now() < deadline && session.WaitForWindow("^清空数据库：$", 0ms) != 0;) {
    std::this_thread::sleep_for(100ms);
  }
  std::this_thread::sleep_for(500ms);
  seen.shown_after = session.WaitForWindow(main_title, 100ms) != 0;
  return seen;
}

}  // namespace tarnwick::e2e
