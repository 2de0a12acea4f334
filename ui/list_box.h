// The list box (ListBox, 列表框): a native list of text items, each with an
// optional integer value.
//
// Properties: 8 border (0 none .. 5 single line); 9 sorted (an added item goes
// to its place in the list-box text order, see ListBoxTextLess); 10 several
// columns; 11 extra item spacing (0..32767 pixels); 12 text colour; 13
// background colour; 14 font; 15 several items may be selected (kept; the
// list selects one item); 16 current selection (index, -1 none); 17 the items
// (read: the texts joined by "\r\n"). Item values are read with ItemValue.
// Events: 0 selection changed (only when the user changes it), 1 double
// click on an item.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/control.h"
#include "ui/text_box_look.h"

namespace tarnwick {

// The list-box text order: character by character, ignoring the case of
// letters; punctuation and symbols come before digits, digits before
// letters, and letters before every other character, which compare by their
// GBK codes (so Chinese characters follow their GBK order). Digits compare
// one by one, so "2011年10月1日" sorts before "2011年9月1日".
bool ListBoxTextLess(std::string_view a, std::string_view b);

class ListBox : public Control {
 public:
  static constexpr int kBorder = 8;
  static constexpr int kSorted = 9;
  static constexpr int kMultiColumn = 10;
  static constexpr int kItemSpacing = 11;
  static constexpr int kTextColor = 12;
  static constexpr int kBackground = 13;
  static constexpr int kFont = 14;
  static constexpr int kMultiSelect = 15;
  static constexpr int kSelection = 16;
  static constexpr int kItems = 17;

  static constexpr int kSelectionChanged = 0;
  static constexpr int kItemDoubleClicked = 1;

  ListBox(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags = {});

  Value GetProperty(int number) const override;
  bool SetProperty(int number, const Value& value) override;

  // Operations.
  void Clear();
  // Adds an item (at its sorted place when sorted, else at the end) and
  // answers its index.
  int AddItem(std::string text, int value = 0);
  int Count() const;
  // Empty / 0 when index is out of range.
  std::string ItemText(int index) const;
  int ItemValue(int index) const;
  int selection() const;
  // Selects index (-1: none) without raising selection changed.
  void SetSelection(int index);
  bool sorted() const { return sorted_; }

  NativeControl* native() const override { return list_.get(); }

 protected:
  void OnSelectionChanged() override { Raise(kSelectionChanged); }
  bool OnKey(const KeyEvent& event) override;
  void HandleMouse(const MouseEvent& event) override;

 private:
  std::unique_ptr<NativeListBox> list_;
  std::vector<int> values_;
  TextBoxLook look_{{kBorder, kTextColor, kBackground, kFont}};
  bool sorted_ = false;
  bool multi_column_ = false;
  int spacing_ = 0;
  bool multi_select_ = false;
};

}  // namespace tarnwick
