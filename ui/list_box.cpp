#include "ui/list_box.h"

#include <algorithm>

#include "base/text.h"
#include "ui/property_values.h"
#include "ui/window.h"

namespace tarnwick {
namespace {

// Sort key of one character: its class, then its folded value.
struct CharKey {
  int group;  // 0 symbols, 1 digits, 2 letters, 3 everything else
  std::uint32_t value;
  auto operator<=>(const CharKey&) const = default;
};

CharKey KeyAt(std::string_view text, std::size_t at, std::size_t length) {
  auto byte = static_cast<unsigned char>(text[at]);
  if (length == 1 && byte < 0x80) {
    if (byte >= '0' && byte <= '9') return {1, byte};
    if (byte >= 'a' && byte <= 'z') return {2, static_cast<std::uint32_t>(byte - 'a' + 'A')};
    if (byte >= 'A' && byte <= 'Z') return {2, byte};
    return {0, byte};
  }
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < length; ++i) value = value << 8 | static_cast<unsigned char>(text[at + i]);
  return {3, value};
}

}  // namespace

bool ListBoxTextLess(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    std::size_t length_a = GbkCharLength(a, i), length_b = GbkCharLength(b, j);
    CharKey key_a = KeyAt(a, i, length_a), key_b = KeyAt(b, j, length_b);
    if (key_a != key_b) return key_a < key_b;
    i += length_a;
    j += length_b;
  }
  return i == a.size() && j < b.size();  // a prefix sorts first
}

ListBox::ListBox(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags)
    : Control(window, parent, std::move(name), ControlKind::kListBox, rect, flags) {
  list_ = platform().windows().CreateListBox(ParentForNative(), rect, listener());
  AttachNative(*list_);
  look_.ApplyTo(*list_, platform().windows());
}

Value ListBox::GetProperty(int number) const {
  if (std::optional<Value> look = look_.Get(number)) return *look;
  switch (number) {
    case kSorted: return sorted_;
    case kMultiColumn: return multi_column_;
    case kItemSpacing: return spacing_;
    case kMultiSelect: return multi_select_;
    case kSelection: return selection();
    case kItems: {
      std::string joined;
      for (int i = 0; i < Count(); ++i) {
        if (i > 0) joined += "\r\n";
        joined += ItemText(i);
      }
      return joined;
    }
    default: return Control::GetProperty(number);
  }
}

bool ListBox::SetProperty(int number, const Value& value) {
  if (std::optional<bool> look = look_.Set(number, value, *list_, platform().windows())) return *look;
  switch (number) {
    case kSorted:
    case kMultiColumn:
    case kMultiSelect:
      if (!FitsType(value, ValueType::kBool)) return false;
      if (number == kSorted) sorted_ = std::get<bool>(value);
      if (number == kMultiSelect) multi_select_ = std::get<bool>(value);
      if (number == kMultiColumn) {
        multi_column_ = std::get<bool>(value);
        list_->SetMultiColumn(multi_column_);
      }
      return true;
    case kItemSpacing:
      if (!FitsType(value, ValueType::kInt)) return false;
      spacing_ = std::clamp(std::get<int>(value), 0, 32767);
      list_->SetItemSpacing(spacing_);
      return true;
    case kSelection:
      if (!FitsType(value, ValueType::kInt)) return false;
      SetSelection(std::get<int>(value));
      return true;
    case kItems: {
      if (!FitsType(value, ValueType::kText)) return false;
      Clear();
      const std::string& text = std::get<std::string>(value);
      std::size_t start = 0;
      while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        AddItem(text.substr(start, end - start));
        start = end + 2;
      }
      return true;
    }
    default:
      return Control::SetProperty(number, value);
  }
}

void ListBox::Clear() {
  list_->Clear();
  values_.clear();
}

int ListBox::AddItem(std::string text, int value) {
  int index = Count();
  if (sorted_) {
    // After the items that sort equal, as the system list box places them.
    int low = 0, high = Count();
    while (low < high) {
      int middle = (low + high) / 2;
      if (ListBoxTextLess(text, list_->ItemText(middle))) high = middle;
      else low = middle + 1;
    }
    index = low;
  }
  list_->InsertItem(index, text);
  values_.insert(values_.begin() + index, value);
  return index;
}

int ListBox::Count() const { return list_->Count(); }

std::string ListBox::ItemText(int index) const { return list_->ItemText(index); }

int ListBox::ItemValue(int index) const {
  if (index < 0 || index >= static_cast<int>(values_.size())) return 0;
  return values_[index];
}

int ListBox::selection() const { return list_->Selection(); }

void ListBox::SetSelection(int index) { list_->SetSelection(index); }

// With nothing selected, the system's list steps from the first item (its
// caret), so the first Down would select the second: the first arrow key
// selects the first item instead.
bool ListBox::OnKey(const KeyEvent& event) {
  if (!Control::OnKey(event)) return false;
  const bool arrow = event.key_code == keys::kDown || event.key_code == keys::kUp;
  if (!event.down || !arrow || event.key_state != 0 || selection() != -1 || Count() == 0) return true;
  SetSelection(0);
  OnSelectionChanged();
  return false;
}

void ListBox::HandleMouse(const MouseEvent& event) {
  if (event.action == MouseAction::kDoubleClick && event.button == MouseButton::kLeft && selection() >= 0) {
    Raise(kItemDoubleClicked);
  }
}

}  // namespace tarnwick
