#include "platform/headless/headless_dialogs.h"

#include <gtest/gtest.h>

#include "base/text.h"

namespace tarnwick {
namespace {

class HeadlessDialogsTest : public ::testing::Test {
 protected:
  HeadlessDialogsTest() {
    dialogs_.SetFailureHandler([this](const std::string& message) { failures_.push_back(message); });
  }
  HeadlessDialogs dialogs_;
  std::vector<std::string> failures_;
};

TEST_F(HeadlessDialogsTest, ScriptedAnswersInOrder) {
  dialogs_.ExpectMessageBox(Gbk("真的清空所有记录？"), MessageResult::kYes);
  dialogs_.ExpectInputBox(Gbk("请输入密码："), std::string("abc"));
  dialogs_.ExpectInputBox("", std::nullopt);
  EXPECT_EQ(dialogs_.ShowMessageBox({Gbk("清空数据库："), Gbk("真的清空所有记录？"), MessageButtons::kYesNo,
                                     MessageIcon::kQuestion, nullptr}),
            MessageResult::kYes);
  InputBoxRequest input{Gbk("密码"), Gbk("请输入密码："), true, Gbk("确认输入(&O)"), Gbk("取消(&C)"), nullptr};
  const std::optional<SecretText> answer = dialogs_.ShowInputBox(input);
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->view(), "abc");
  EXPECT_EQ(dialogs_.ShowInputBox(input), std::nullopt);
  EXPECT_TRUE(failures_.empty());
  EXPECT_EQ(dialogs_.pending(), 0u);
  ASSERT_EQ(dialogs_.shown().size(), 3u);
  EXPECT_EQ(dialogs_.shown()[0].title, Gbk("清空数据库："));
  EXPECT_EQ(dialogs_.shown()[0].buttons, MessageButtons::kYesNo);
  EXPECT_TRUE(dialogs_.shown()[1].masked);
  EXPECT_EQ(dialogs_.shown()[1].confirm_caption, Gbk("确认输入(&O)"));
}

TEST_F(HeadlessDialogsTest, UnexpectedOrMismatchedDialogsFailNamingTheirText) {
  EXPECT_EQ(dialogs_.ShowMessageBox({Gbk("信息："), Gbk("数据库导出完毕！"), MessageButtons::kYesNo,
                                     MessageIcon::kNone, nullptr}),
            MessageResult::kNo);
  ASSERT_EQ(failures_.size(), 1u);
  EXPECT_NE(failures_[0].find("数据库导出完毕！"), std::string::npos) << failures_[0];

  dialogs_.ExpectMessageBox(Gbk("甲"), MessageResult::kOk);
  dialogs_.ShowMessageBox({"", Gbk("乙"), MessageButtons::kOk, MessageIcon::kNone, nullptr});
  ASSERT_EQ(failures_.size(), 2u);
  EXPECT_NE(failures_[1].find("乙"), std::string::npos);
  EXPECT_EQ(dialogs_.pending(), 1u);  // the answer stays for the right box

  dialogs_.ShowInputBox({"", Gbk("丙"), false, "", "", nullptr});  // wrong kind
  EXPECT_EQ(failures_.size(), 3u);
}

TEST_F(HeadlessDialogsTest, FileDialogAppliesTheDefaultExtension) {
  dialogs_.ExpectFileDialog(std::string("/tmp/out"));
  dialogs_.ExpectFileDialog(std::string("/tmp/out.log"));
  dialogs_.ExpectFileDialog(std::string("/tmp/dir.d/out"));
  dialogs_.ExpectFileDialog(std::nullopt);
  FileDialogRequest request;
  request.filter = "Text|*.txt";
  request.default_extension = "txt";
  EXPECT_EQ(dialogs_.ShowFileDialog(request), std::optional<std::string>("/tmp/out.txt"));
  EXPECT_EQ(dialogs_.ShowFileDialog(request), std::optional<std::string>("/tmp/out.log"));
  EXPECT_EQ(dialogs_.ShowFileDialog(request), std::optional<std::string>("/tmp/dir.d/out.txt"));
  EXPECT_EQ(dialogs_.ShowFileDialog(request), std::nullopt);
  EXPECT_EQ(dialogs_.shown()[0].file_request.filter, "Text|*.txt");
  EXPECT_TRUE(failures_.empty());
}

}  // namespace
}  // namespace tarnwick
