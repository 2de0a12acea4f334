// The event loop's and the dialogs' contract, alike on every backend: posted
// tasks, timers that never pile up or run inside their own tick, the clock,
// and the answers of message and input boxes.
#include <gtest/gtest.h>

#include "base/text.h"
#include "testing/input_box_request.h"
#include "testing/backend_driver.h"

namespace tarnwick::testing {
namespace {

using EventLoopContractTest = BackendContractTest;

TEST_F(EventLoopContractTest, PostedTasksRunInOrderAfterTheirPoster) {
  std::string ran;
  loop().Post([&] {
    ran += "a";
    loop().Post([&] { ran += "c"; });  // after those already posted
    ran += "A";
  });
  loop().Post([&] { ran += "b"; });
  EXPECT_EQ(ran, "") << "nothing runs inside Post";
  loop().ProcessPendingEvents();
  driver().Settle();
  EXPECT_EQ(ran, "aAbc");
}

TEST_F(EventLoopContractTest, TimersTickUntilStoppedAndNeverInsideTheirOwnTick) {
  int ticks = 0, nested_ticks = 0;
  EventLoop::TimerId id = 0;
  id = loop().StartTimer(10, [&] {
    ++ticks;
    if (ticks == 1) {
      // A long handler that keeps the program responsive sees no second tick.
      for (int i = 0; i < 4; ++i) {
        int before = ticks;
        loop().Sleep(15);
        loop().ProcessPendingEvents();
        nested_ticks += ticks - before;
      }
    }
    if (ticks == 3) loop().StopTimer(id);  // stopped inside its own tick
  });
  EXPECT_GT(id, 0);
  for (int waited = 0; ticks < 3 && waited < 5000; waited += 10) driver().RunFor(10);
  driver().RunFor(100);
  EXPECT_EQ(ticks, 3) << "stopped: no fourth tick";
  EXPECT_EQ(nested_ticks, 0);
  loop().StopTimer(id);
  loop().StopTimer(999);  // unknown ids are ignored

  std::uint32_t before = loop().TickCount();
  loop().Sleep(100);
  // A loaded machine may wake the sleeper late but not early; Windows' tick
  // count moves in steps of up to 16 ms, so it may read up to one step short.
  EXPECT_GE(loop().TickCount() - before, 84u);
  EXPECT_GT(loop().ScreenSize().width, 0);
}

TEST_F(EventLoopContractTest, MessageAndInputBoxesAnswerWhatTheUserChose) {
  MessageBoxRequest request;
  request.title = Gbk("信息：");
  request.text = Gbk("真的清空所有记录？");
  request.buttons = MessageButtons::kYesNo;
  request.icon = MessageIcon::kQuestion;
  driver().AnswerNextMessageBox(MessageResult::kNo);
  EXPECT_EQ(platform().dialogs().ShowMessageBox(request), MessageResult::kNo);
  request.buttons = MessageButtons::kOkCancel;
  driver().AnswerNextMessageBox(MessageResult::kOk);
  EXPECT_EQ(platform().dialogs().ShowMessageBox(request), MessageResult::kOk);

  const InputBoxRequest input = PasswordBoxRequest();
  driver().AnswerNextInputBox(Gbk("密码1"));
  const std::optional<SecretText> typed = platform().dialogs().ShowInputBox(input);
  ASSERT_TRUE(typed.has_value());
  EXPECT_EQ(typed->view(), Gbk("密码1"));
  driver().AnswerNextInputBox(std::nullopt);
  EXPECT_EQ(platform().dialogs().ShowInputBox(input), std::nullopt);
}

}  // namespace
}  // namespace tarnwick::testing
