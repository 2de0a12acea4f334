#include "ui/message_box.h"

#include "base/text.h"

namespace tarnwick {

MessageResult ShowMessage(Platform& platform, const std::string& text, const std::string& title,
                          MessageButtons buttons, MessageIcon icon) {
  MessageBoxRequest request;
  request.title = title.empty() ? Gbk("信息：") : title;
  request.text = text;
  request.buttons = buttons;
  request.icon = icon;
  return platform.dialogs().ShowMessageBox(request);
}

MessageResult AskYesNoDefaultNo(Platform& platform, const std::string& text, const std::string& title) {
  MessageBoxRequest request;
  request.title = title;
  request.text = text;
  request.buttons = MessageButtons::kYesNo;
  request.default_button = 1;
  return platform.dialogs().ShowMessageBox(request);
}

SecretText AskText(Platform& platform, const std::string& title, const std::string& prompt, bool masked) {
  InputBoxRequest request;
  request.title = title;
  request.prompt = prompt;
  request.masked = masked;
  request.confirm_caption = Gbk("确认输入(&O)");
  request.cancel_caption = Gbk("取消(&C)");
  std::optional<SecretText> answer = platform.dialogs().ShowInputBox(request);
  return answer ? std::move(*answer) : SecretText();
}

}  // namespace tarnwick
