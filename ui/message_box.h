// The program's message boxes and input boxes in their house style:
// owner-less and modal to the whole program, titled "信息：" unless a title is
// given, OK unless other buttons are named; input boxes with the buttons
// "确认输入(&O)" and "取消(&C)", where cancel leaves the text empty.
#pragma once

#include <string>

#include "base/secret.h"
#include "platform/platform.h"

namespace tarnwick {

// text and title are GBK; an empty title means "信息：".
MessageResult ShowMessage(Platform& platform, const std::string& text, const std::string& title = {},
                          MessageButtons buttons = MessageButtons::kOk, MessageIcon icon = MessageIcon::kNone);

// A Yes/No question whose default button, the one Return presses, is No:
// for a question whose Yes cannot be undone.
MessageResult AskYesNoDefaultNo(Platform& platform, const std::string& text, const std::string& title);

// The typed text on confirm; empty on cancel (callers do not ask how the box
// was closed). Input boxes take passwords only, so the text is a secret.
SecretText AskText(Platform& platform, const std::string& title, const std::string& prompt, bool masked);

}  // namespace tarnwick
