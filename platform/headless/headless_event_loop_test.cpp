#include "platform/headless/headless_event_loop.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

TEST(HeadlessEventLoopTest, TimersFollowTestTimeAndDoNotPileUp) {
  HeadlessEventLoop loop;
  int ticks = 0;
  auto id = loop.StartTimer(200, [&] { ++ticks; });
  loop.AdvanceTime(199);
  EXPECT_EQ(ticks, 0);
  loop.AdvanceTime(1);
  EXPECT_EQ(ticks, 1);
  loop.AdvanceTime(1000);
  EXPECT_EQ(ticks, 6);
  // Time passing without the loop (a long handler) gives one tick, not five.
  loop.Sleep(1000);
  loop.ProcessPendingEvents();
  EXPECT_EQ(ticks, 7);
  loop.StopTimer(id);
  loop.AdvanceTime(1000);
  EXPECT_EQ(ticks, 7);
}

TEST(HeadlessEventLoopTest, TimerMayStopItselfAndClockMovesWithTime) {
  HeadlessEventLoop loop;
  loop.SetTickCount(0xFFFFFF00u);
  loop.SetLocalNow(EncodeDateTime({2011, 5, 31, 23, 59, 59}));
  int ticks = 0;
  EventLoop::TimerId id = 0;
  id = loop.StartTimer(100, [&] {
    ++ticks;
    loop.StopTimer(id);
  });
  loop.AdvanceTime(500);
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(loop.TickCount(), 0xFFFFFF00u + 500);
  loop.AdvanceTime(1000);
  EXPECT_EQ(loop.TickCount(), 1244u);  // wrapped past 2^32
  CivilDateTime now = DecodeDateTime(loop.LocalNow());
  EXPECT_EQ(now.month, 6);
  EXPECT_EQ(now.day, 1);
  EXPECT_EQ(now.second, 0);
}

TEST(HeadlessEventLoopTest, RunReturnsTheQuitCode) {
  HeadlessEventLoop loop;
  EXPECT_EQ(loop.Run(), HeadlessEventLoop::kNotQuit);
  loop.Post([&] { loop.Quit(0); });
  EXPECT_EQ(loop.Run(), 0);
  EXPECT_EQ(loop.ScreenSize(), (Size{1280, 1024}));
  loop.SetScreenSize({800, 600});
  EXPECT_EQ(loop.ScreenSize(), (Size{800, 600}));
}

}  // namespace
}  // namespace tarnwick
