// The file dialog (CommonDlg, 通用对话框): invisible at run time; shows the
// system's open or save dialog when asked.
// Properties: 8 kind (0 open a file, 1 save a file; 2 colour and 3 font are
// not offered: Show answers false for them); 9 title (empty: the system's);
// 10 file name (the chosen path after a confirmed dialog; also the name the
// dialog starts with); 11 filter (description and pattern pairs joined by
// "|"); 14 default extension (appended when the user types a name without
// one).
#pragma once

#include <string>

#include "ui/control.h"

namespace tarnwick {

class CommonDlg : public Control {
 public:
  static constexpr int kKind = 8;
  static constexpr int kTitle = 9;
  static constexpr int kFileName = 10;
  static constexpr int kFilter = 11;
  static constexpr int kDefaultExtension = 14;

  CommonDlg(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags = {});

  Value GetProperty(int number) const override;
  bool SetProperty(int number, const Value& value) override;

  // Shows the dialog of the set kind, modal to the program. True when the
  // user confirmed (the file name then holds the chosen path), false when
  // cancelled.
  bool Show();
  const std::string& file_name() const { return file_name_; }

 private:
  int kind_ = 0;
  std::string title_;
  std::string file_name_;
  std::string filter_;
  std::string default_extension_;
};

}  // namespace tarnwick
