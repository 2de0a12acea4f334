// The input box the dialog tests show: a password box with the program's
// own captions.
#pragma once

#include "base/text.h"
#include "platform/dialogs.h"

namespace tarnwick::testing {

inline InputBoxRequest PasswordBoxRequest(bool masked = true) {
  InputBoxRequest request;
  request.title = Gbk("输入新密码");
  request.prompt = Gbk("请输入新的密码：");
  request.masked = masked;
  request.confirm_caption = Gbk("确认输入(&O)");
  request.cancel_caption = Gbk("取消(&C)");
  return request;
}

}  // namespace tarnwick::testing
