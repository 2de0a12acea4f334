// The headless control tree (nodes, the owner-drawn surface) and the
// behaviour of the standard controls.
#include "platform/headless/headless_window_system.h"

#include <algorithm>

#include "base/editor_text.h"
#include "base/text.h"

namespace tarnwick {

// ---- nodes ----------------------------------------------------------------

HeadlessNode::HeadlessNode(HeadlessWindowSystem& system, HeadlessKind kind, HeadlessNode* parent, const Rect& rect,
                           ControlListener* listener)
    : system_(system), kind_(kind), parent_(parent), rect_(rect), listener_(listener), serial_(system.NextSerial()) {
  if (parent_ != nullptr) parent_->children_.push_back(this);
}

HeadlessNode::~HeadlessNode() {
  system_.Forget(this);
  for (HeadlessNode* child : children_) child->parent_ = nullptr;
  if (parent_ != nullptr) {
    auto& siblings = parent_->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
}

HeadlessWindow* HeadlessNode::top_window() const {
  const HeadlessNode* node = this;
  while (node->parent_ != nullptr) node = node->parent_;
  if (node->kind_ != HeadlessKind::kWindow) return nullptr;
  return static_cast<HeadlessWindow*>(const_cast<HeadlessNode*>(node));
}

bool HeadlessNode::IsShown() const {
  for (const HeadlessNode* node = this; node != nullptr; node = node->parent_) {
    if (!node->visible_) return false;
    if (node->kind_ == HeadlessKind::kWindow) return true;
  }
  return false;  // detached from any window
}

bool HeadlessNode::IsEnabledDeep() const {
  for (const HeadlessNode* node = this; node != nullptr; node = node->parent_) {
    if (!node->enabled_) return false;
  }
  return true;
}

Point HeadlessNode::OriginInWindow() const {
  Point origin{0, 0};
  for (const HeadlessNode* node = this; node != nullptr && node->kind_ != HeadlessKind::kWindow;
       node = node->parent_) {
    origin.x += node->rect_.left;
    origin.y += node->rect_.top;
  }
  return origin;
}

bool HeadlessNode::HasFocusNow() const {
  HeadlessWindow* window = top_window();
  return window != nullptr && window->focus() == this && window->IsActive();
}

void HeadlessNode::RaiseNode() {
  if (parent_ == nullptr) return;
  auto& siblings = parent_->children_;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  siblings.push_back(this);
}

// ---- surface --------------------------------------------------------------

HeadlessSurface::HeadlessSurface(HeadlessWindowSystem& system, HeadlessNode* parent, const Rect& rect,
                                 ControlListener& listener)
    : HeadlessControl(system, HeadlessKind::kSurface, parent, rect, listener),
      backing_(rect.width, rect.height, Pixel{255, 255, 255, 255}),
      invalid_(Rect{0, 0, rect.width, rect.height}) {}

void HeadlessSurface::Invalidate(const Rect& rect) {
  Rect clipped = rect.Intersect({0, 0, rect_.width, rect_.height});
  if (clipped.empty()) return;
  if (!invalid_) {
    invalid_ = clipped;
    return;
  }
  int left = std::min(invalid_->left, clipped.left), top = std::min(invalid_->top, clipped.top);
  int right = std::max(invalid_->right(), clipped.right()), bottom = std::max(invalid_->bottom(), clipped.bottom());
  invalid_ = Rect{left, top, right - left, bottom - top};
}

void HeadlessSurface::InvalidateAll() { Invalidate({0, 0, rect_.width, rect_.height}); }

void HeadlessSurface::Update() { PaintIfInvalid(); }

bool HeadlessSurface::PaintIfInvalid() {
  if (!invalid_ || !IsShown()) return false;
  Rect dirty = *invalid_;
  invalid_.reset();
  HeadlessCanvas canvas(&backing_);
  canvas.SetClip(dirty);
  listener_->OnPaint(canvas, dirty);
  last_ops_ = canvas.ops();
  last_dirty_ = dirty;
  ++paint_count_;
  return true;
}

Color HeadlessSurface::PixelAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= backing_.width() || y >= backing_.height()) return Color{};
  const Pixel& pixel = backing_.at(x, y);
  return Color{pixel.red, pixel.green, pixel.blue};
}

void HeadlessSurface::Resized(const Rect& rect) {
  bool resized = rect.width != rect_.width || rect.height != rect_.height;
  rect_ = rect;
  if (resized) {
    backing_ = Image(rect.width, rect.height, Pixel{255, 255, 255, 255});
    invalid_.reset();
    InvalidateAll();
  }
}

// ---- standard controls ----------------------------------------------------

void HeadlessButton::Click() {
  if (IsEnabledDeep()) listener_->OnClicked();
}

void HeadlessCheckBox::Click() {
  if (!IsEnabledDeep()) return;
  checked_ = !checked_;
  listener_->OnClicked();
}

void HeadlessListBox::Clear() {
  items_.clear();
  selection_ = -1;
}

void HeadlessListBox::InsertItem(int index, std::string_view text) {
  index = std::clamp(index, 0, Count());
  items_.insert(items_.begin() + index, std::string(text));
  if (selection_ >= index) ++selection_;
}

std::string HeadlessListBox::ItemText(int index) const {
  if (index < 0 || index >= Count()) return {};
  return items_[index];
}

void HeadlessListBox::SetSelection(int index) { selection_ = index >= 0 && index < Count() ? index : -1; }

int HeadlessListBox::ItemAt(Point point) const {
  if (point.y < 0 || point.x < 0 || point.x >= rect_.width) return -1;
  int index = point.y / item_height();
  return index < Count() ? index : -1;
}

HeadlessRichEdit::HeadlessRichEdit(HeadlessWindowSystem& system, HeadlessNode* parent, const Rect& rect,
                                   ControlListener& listener, Shell& shell)
    : HeadlessControl(system, HeadlessKind::kRichEdit, parent, rect, listener), shell_(shell) {}

void HeadlessEdit::SetText(std::string_view text) {
  text_ = std::string(text);
  limit_.TextSet(text_);
}

void HeadlessEdit::TypeText(std::string_view text) {
  if (read_only_) return;
  text_ += text;
  if (limit_.UserEdited(text_, [this](const LimitedEdit& kept) { text_ = kept.text; })) listener_->OnTextChanged();
}

void HeadlessRichEdit::SetText(std::string_view text) {
  text_ = NormalizeLineBreaks(text);
  limit_.TextSet(text_);
  selection_start_ = 0;
  selection_length_ = 0;
  modified_ = false;
}

void HeadlessRichEdit::SetSelection(int start, int length) {
  int size = static_cast<int>(text_.size());
  start = SnapToCharacter(text_, std::clamp(start, 0, size));
  int end = length < 0 ? size : std::clamp(start + length, start, size);
  // The end moves forward to a character boundary, so a selection never
  // holds half a character.
  if (end < size && SnapToCharacter(text_, end) != end) {
    end = SnapToCharacter(text_, end) + static_cast<int>(GbkCharLength(text_, SnapToCharacter(text_, end)));
  }
  selection_start_ = start;
  selection_length_ = end - start;
}

std::string HeadlessRichEdit::SelectedText() const { return text_.substr(selection_start_, selection_length_); }

Point HeadlessRichEdit::CaretPoint() const {
  std::string_view before = std::string_view(text_).substr(0, selection_start_ + selection_length_);
  std::size_t line_start = before.rfind('\n');
  int line = static_cast<int>(std::count(before.begin(), before.end(), '\n'));
  int column = static_cast<int>(line_start == std::string_view::npos ? before.size() : before.size() - line_start - 1);
  return {2 + column * kCharacterWidth, 2 + (line + 1) * kLineHeight};
}

void HeadlessRichEdit::Copy() {
  if (selection_length_ > 0) shell_.SetClipboardText(SelectedText());
}

void HeadlessRichEdit::Cut() {
  if (read_only_ || selection_length_ == 0) return;
  shell_.SetClipboardText(SelectedText());
  ReplaceSelection("");
}

void HeadlessRichEdit::Paste() {
  if (read_only_) return;
  std::string text = shell_.ClipboardText();
  if (text.empty()) return;
  ReplaceSelection(NormalizeLineBreaks(text));
}

void HeadlessRichEdit::Clear() {
  if (read_only_ || selection_length_ == 0) return;
  ReplaceSelection("");
}

void HeadlessRichEdit::TypeText(std::string_view text) {
  if (read_only_) return;
  ReplaceSelection(NormalizeLineBreaks(text));
}

void HeadlessRichEdit::ReplaceSelection(std::string_view text) {
  if (text.empty() && selection_length_ == 0) return;
  text_.replace(selection_start_, selection_length_, text);
  int caret = selection_start_ + static_cast<int>(text.size());
  bool changed = limit_.UserEdited(text_, [&](const LimitedEdit& kept) {
    text_ = kept.text;
    caret = kept.caret;
  });
  selection_start_ = caret;
  selection_length_ = 0;
  if (!changed) return;
  modified_ = true;
  listener_->OnTextChanged();
}

void HeadlessDropDownList::SetItems(const std::vector<std::string>& items) {
  items_ = items;
  selection_ = -1;
}

std::string HeadlessDropDownList::ItemText(int index) const {
  if (index < 0 || index >= Count()) return {};
  return items_[index];
}

void HeadlessDropDownList::SetSelection(int index) { selection_ = index >= 0 && index < Count() ? index : -1; }

void HeadlessDropDownList::UserChoose(int index) {
  if (!IsShown() || !IsEnabledDeep() || index < 0 || index >= Count()) return;
  selection_ = index;
  listener_->OnSelectionChanged();
  system_.loop().ProcessPendingEvents();
}

}  // namespace tarnwick
