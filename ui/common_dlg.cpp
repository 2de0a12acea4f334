#include "ui/common_dlg.h"

#include "ui/window.h"

namespace tarnwick {

CommonDlg::CommonDlg(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags)
    : Control(window, parent, std::move(name), ControlKind::kCommonDlg, rect, flags) {}

Value CommonDlg::GetProperty(int number) const {
  switch (number) {
    case kKind: return kind_;
    case kTitle: return title_;
    case kFileName: return file_name_;
    case kFilter: return filter_;
    case kDefaultExtension: return default_extension_;
    default: return Control::GetProperty(number);
  }
}

bool CommonDlg::SetProperty(int number, const Value& value) {
  if (number == kKind) {
    const int* kind = std::get_if<int>(&value);
    if (kind == nullptr) return false;
    kind_ = *kind;
    return true;
  }
  std::string* target = number == kTitle ? &title_
                        : number == kFileName ? &file_name_
                        : number == kFilter ? &filter_
                        : number == kDefaultExtension ? &default_extension_
                                                      : nullptr;
  if (target == nullptr) return Control::SetProperty(number, value);
  const std::string* text = std::get_if<std::string>(&value);
  if (text == nullptr) return false;
  *target = *text;
  return true;
}

bool CommonDlg::Show() {
  if (kind_ != 0 && kind_ != 1) return false;
  FileDialogRequest request;
  request.kind = kind_ == 0 ? FileDialogKind::kOpen : FileDialogKind::kSave;
  request.title = title_;
  request.filter = filter_;
  request.default_extension = default_extension_;
  request.initial_file_name = file_name_;
  request.owner = &window().native_window();
  std::optional<std::string> chosen = platform().dialogs().ShowFileDialog(request);
  if (!chosen) return false;
  file_name_ = *chosen;
  return true;
}

}  // namespace tarnwick
