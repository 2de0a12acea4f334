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

void HeadlessRichEdit::SetText(std::string_view text) {
  text_ = NormalizeLineBreaks(text);
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
  std::string_view insert = FittingInsertion(text, static_cast<int>(text_.size()) - selection_length_, max_length_);
  if (insert.empty() && selection_length_ == 0) return;
  text_.replace(selection_start_, selection_length_, insert);
  selection_start_ += static_cast<int>(insert.size());
  selection_length_ = 0;
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

// ---- windows --------------------------------------------------------------

HeadlessWindow::HeadlessWindow(HeadlessWindowSystem& system, const WindowStyle& style, const Rect& outer,
                               std::string_view caption, WindowListener& listener)
    : HeadlessNode(system, HeadlessKind::kWindow, nullptr, outer, &listener),
      style_(style),
      frame_(DescribeFrame(style, caption)),
      caption_(caption),
      window_listener_(&listener) {
  visible_ = false;
}

HeadlessWindow::~HeadlessWindow() = default;

Size HeadlessWindow::ClientSize() const { return ClientSizeFor(insets(), {rect_.width, rect_.height}); }

Point HeadlessWindow::ClientOrigin() const {
  Rect client = ClientRectFor(insets(), rect_);
  return {client.left, client.top};
}

void HeadlessWindow::Show() {
  visible_ = true;
  if (style_.takes_activation) {
    system_.SetActive(this);
  }
  system_.BringToTop(this);
}

void HeadlessWindow::Hide() {
  visible_ = false;
  if (system_.active_ == this) {
    // The system activates the next visible window that can take it.
    HeadlessWindow* next = nullptr;
    for (HeadlessWindow* window : system_.ZOrder()) {
      if (window != this && window->visible_ && window->style_.takes_activation) {
        next = window;
        break;
      }
    }
    system_.SetActive(next);
  }
}

void HeadlessWindow::SetWindowOrder(WindowOrder order) {
  auto& z = system_.z_order_;
  z.erase(std::remove(z.begin(), z.end(), this), z.end());
  switch (order) {
    case WindowOrder::kTop:
      z.insert(z.begin(), this);
      break;
    case WindowOrder::kBottom:
      style_.always_on_top = false;
      z.push_back(this);
      break;
    case WindowOrder::kAlwaysOnTop:
      style_.always_on_top = true;
      z.insert(z.begin(), this);
      break;
    case WindowOrder::kNotAlwaysOnTop:
      style_.always_on_top = false;
      z.insert(z.begin(), this);
      break;
  }
}

void HeadlessWindow::Activate() {
  system_.SetActive(this);
  system_.BringToTop(this);
}

bool HeadlessWindow::IsActive() const { return system_.active_ == this; }

// ---- the system -----------------------------------------------------------

HeadlessWindowSystem::HeadlessWindowSystem(HeadlessEventLoop& loop, Shell& shell) : loop_(loop), shell_(shell) {}

HeadlessWindowSystem::~HeadlessWindowSystem() = default;

HeadlessNode* HeadlessWindowSystem::ParentNode(NativeParent& parent) const {
  auto* node = dynamic_cast<HeadlessNode*>(&parent);
  return node;
}

void HeadlessWindowSystem::Forget(HeadlessNode* node) {
  if (hover_ == node) hover_ = nullptr;
  if (capture_ == node) capture_ = nullptr;
  for (HeadlessWindow* window : windows_) {
    if (window->focus_ == node) window->focus_ = nullptr;
  }
  surfaces_.erase(std::remove(surfaces_.begin(), surfaces_.end(), node), surfaces_.end());
  if (node->kind() == HeadlessKind::kWindow) {
    auto* window = static_cast<HeadlessWindow*>(node);
    windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
    z_order_.erase(std::remove(z_order_.begin(), z_order_.end(), window), z_order_.end());
    if (active_ == window) active_ = nullptr;
  }
}

std::unique_ptr<NativeWindow> HeadlessWindowSystem::CreateTopLevelWindow(const WindowStyle& style, const Rect& outer,
                                                                         std::string_view caption,
                                                                         WindowListener& listener) {
  auto window = std::make_unique<HeadlessWindow>(*this, style, outer, caption, listener);
  windows_.push_back(window.get());
  z_order_.insert(z_order_.begin(), window.get());
  return window;
}

std::unique_ptr<NativeSurface> HeadlessWindowSystem::CreateSurface(NativeParent& parent, const Rect& rect,
                                                                   ControlListener& listener) {
  auto surface = std::make_unique<HeadlessSurface>(*this, ParentNode(parent), rect, listener);
  surfaces_.push_back(surface.get());
  return surface;
}

std::unique_ptr<NativeButton> HeadlessWindowSystem::CreateButton(NativeParent& parent, const Rect& rect,
                                                                 ControlListener& listener) {
  return std::make_unique<HeadlessButton>(*this, HeadlessKind::kButton, ParentNode(parent), rect, listener);
}

std::unique_ptr<NativeCheckBox> HeadlessWindowSystem::CreateCheckBox(NativeParent& parent, const Rect& rect,
                                                                     ControlListener& listener) {
  return std::make_unique<HeadlessCheckBox>(*this, HeadlessKind::kCheckBox, ParentNode(parent), rect, listener);
}

std::unique_ptr<NativeListBox> HeadlessWindowSystem::CreateListBox(NativeParent& parent, const Rect& rect,
                                                                   ControlListener& listener) {
  return std::make_unique<HeadlessListBox>(*this, HeadlessKind::kListBox, ParentNode(parent), rect, listener);
}

std::unique_ptr<NativeEdit> HeadlessWindowSystem::CreateEdit(NativeParent& parent, const Rect& rect,
                                                             ControlListener& listener) {
  return std::make_unique<HeadlessEdit>(*this, HeadlessKind::kEdit, ParentNode(parent), rect, listener);
}

std::unique_ptr<NativeRichEdit> HeadlessWindowSystem::CreateRichEdit(NativeParent& parent, const Rect& rect,
                                                                     ControlListener& listener) {
  return std::make_unique<HeadlessRichEdit>(*this, ParentNode(parent), rect, listener, shell_);
}

std::unique_ptr<NativeDropDownList> HeadlessWindowSystem::CreateDropDownList(NativeParent& parent, const Rect& rect,
                                                                             ControlListener& listener) {
  return std::make_unique<HeadlessDropDownList>(*this, HeadlessKind::kDropDownList, ParentNode(parent), rect,
                                                listener);
}

std::unique_ptr<NativeGroupFrame> HeadlessWindowSystem::CreateGroupFrame(NativeParent& parent, const Rect& rect,
                                                                         ControlListener& listener) {
  return std::make_unique<HeadlessGroupFrame>(*this, HeadlessKind::kGroupFrame, ParentNode(parent), rect, listener);
}

Color HeadlessWindowSystem::GetSystemColor(SystemColor role) const {
  switch (role) {
    case SystemColor::kWindow: return Rgb(255, 255, 255);
    case SystemColor::kWindowText: return Rgb(0, 0, 0);
    case SystemColor::kButtonFace: return Rgb(212, 208, 200);
    case SystemColor::kButtonText: return Rgb(0, 0, 0);
    case SystemColor::kButtonHighlight: return Rgb(255, 255, 255);
    case SystemColor::kButtonLight: return Rgb(212, 208, 200);
    case SystemColor::kButtonShadow: return Rgb(128, 128, 128);
    case SystemColor::kButtonDarkShadow: return Rgb(64, 64, 64);
    case SystemColor::kGrayText: return Rgb(128, 128, 128);
    case SystemColor::kHighlight: return Rgb(10, 36, 106);
    case SystemColor::kHighlightText: return Rgb(255, 255, 255);
    case SystemColor::kInfoBackground: return Rgb(255, 255, 225);
    case SystemColor::kInfoText: return Rgb(0, 0, 0);
  }
  return Rgb(0, 0, 0);
}

Font HeadlessWindowSystem::DefaultGuiFont() const {
  Font font;
  font.face = Gbk("宋体");
  font.height = HeadlessCanvas::kDefaultFontHeight;
  font.charset = 134;
  return font;
}

std::unique_ptr<Canvas> HeadlessWindowSystem::CreateOffscreenCanvas(Size size) {
  return std::make_unique<HeadlessCanvas>(size);
}

void HeadlessWindowSystem::FocusNode(HeadlessNode* node) {
  if (node == nullptr || !node->IsEnabledDeep()) return;
  // Visible within its window; the window itself may still be hidden.
  for (const HeadlessNode* at = node; at != nullptr && at->kind() != HeadlessKind::kWindow; at = at->parent_) {
    if (!at->visible_) return;
  }
  HeadlessWindow* window = node->top_window();
  if (window == nullptr || window->focus_ == node) return;
  HeadlessNode* old = window->focus_;
  window->focus_ = node;
  if (active_ != window) return;  // takes effect when the window is activated
  if (old != nullptr && old->listener() != nullptr) old->listener()->OnFocusChanged(false);
  if (node->listener() != nullptr) node->listener()->OnFocusChanged(true);
}

void HeadlessWindowSystem::SetActive(HeadlessWindow* window) {
  if (active_ == window) return;
  HeadlessWindow* old = active_;
  active_ = window;
  if (old != nullptr) {
    if (old->focus_ != nullptr && old->focus_->listener() != nullptr) old->focus_->listener()->OnFocusChanged(false);
    old->window_listener().OnActivationChanged(false);
  }
  if (window != nullptr) {
    window->window_listener().OnActivationChanged(true);
    if (active_ == window && window->focus_ != nullptr && window->focus_->listener() != nullptr) {
      window->focus_->listener()->OnFocusChanged(true);
    }
  }
}

void HeadlessWindowSystem::BringToTop(HeadlessWindow* window) {
  z_order_.erase(std::remove(z_order_.begin(), z_order_.end(), window), z_order_.end());
  z_order_.insert(z_order_.begin(), window);
}

std::vector<HeadlessWindow*> HeadlessWindowSystem::ZOrder() const {
  std::vector<HeadlessWindow*> order;
  for (HeadlessWindow* window : z_order_) {
    if (window->always_on_top()) order.push_back(window);
  }
  for (HeadlessWindow* window : z_order_) {
    if (!window->always_on_top()) order.push_back(window);
  }
  return order;
}

HeadlessNode* HeadlessWindowSystem::focused() const {
  return active_ != nullptr ? active_->focus_ : nullptr;
}

HeadlessNode* HeadlessWindowSystem::NodeAt(HeadlessWindow& window, Point client) const {
  Size size = window.ClientSize();
  if (client.x < 0 || client.y < 0 || client.x >= size.width || client.y >= size.height) return nullptr;
  HeadlessNode* node = &window;
  Point local = client;
  for (;;) {
    HeadlessNode* hit = nullptr;
    for (auto it = node->children_.rbegin(); it != node->children_.rend(); ++it) {
      if ((*it)->visible_ && (*it)->rect_.Contains(local)) {
        hit = *it;
        break;
      }
    }
    if (hit == nullptr) return node;
    local = {local.x - hit->rect_.left, local.y - hit->rect_.top};
    node = hit;
  }
}

void HeadlessWindowSystem::SetHover(HeadlessNode* node) {
  if (hover_ == node) return;
  HeadlessNode* old = hover_;
  hover_ = node;
  if (old != nullptr && old->listener() != nullptr) old->listener()->OnMouseLeave();
}

void HeadlessWindowSystem::DispatchMouse(HeadlessWindow& window, Point client, MouseAction action,
                                         MouseButton button, int key_state) {
  Point origin = window.ClientOrigin();
  loop_.SetCursorPosition({origin.x + client.x, origin.y + client.y});
  HeadlessNode* target = capture_ != nullptr ? capture_ : NodeAt(window, client);
  if (capture_ == nullptr) SetHover(target);
  if (target == nullptr) return;
  if (action == MouseAction::kPress && target->top_window() != nullptr) {
    HeadlessWindow* owner = target->top_window();
    if (owner->style_.takes_activation && active_ != owner) owner->Activate();
  }
  if (!target->IsEnabledDeep()) return;  // a disabled control takes no input
  Point at = target->OriginInWindow();
  MouseEvent event{action, button, {client.x - at.x, client.y - at.y}, key_state};
  if (action == MouseAction::kPress) capture_ = target;
  if (action == MouseAction::kRelease && capture_ == target) capture_ = nullptr;
  bool go_on = target->listener() == nullptr || target->listener()->OnMouse(event);
  if (go_on) NativeMouse(*target, event);
  if (action == MouseAction::kRelease) SetHover(NodeAt(window, client));
}

void HeadlessWindowSystem::NativeMouse(HeadlessNode& node, const MouseEvent& event) {
  bool down = event.action == MouseAction::kPress || event.action == MouseAction::kDoubleClick;
  if (down && event.button == MouseButton::kLeft && node.CanTakeFocus()) FocusNode(&node);
  bool inside = Rect{0, 0, node.rect().width, node.rect().height}.Contains(event.position);
  switch (node.kind()) {
    case HeadlessKind::kButton: {
      auto& button = static_cast<HeadlessButton&>(node);
      if (event.button != MouseButton::kLeft) break;
      if (down) button.pressed_ = true;
      if (event.action == MouseAction::kRelease && button.pressed_) {
        button.pressed_ = false;
        if (inside) button.listener()->OnClicked();
      }
      break;
    }
    case HeadlessKind::kCheckBox: {
      auto& check = static_cast<HeadlessCheckBox&>(node);
      if (event.button != MouseButton::kLeft) break;
      if (down) check.pressed_ = true;
      if (event.action == MouseAction::kRelease && check.pressed_) {
        check.pressed_ = false;
        if (inside) {
          check.checked_ = !check.checked_;
          check.listener()->OnClicked();
        }
      }
      break;
    }
    case HeadlessKind::kListBox: {
      auto& list = static_cast<HeadlessListBox&>(node);
      if (event.button != MouseButton::kLeft || event.action != MouseAction::kPress) break;
      int index = list.ItemAt(event.position);
      if (index >= 0) {
        list.SetSelection(index);
        list.listener()->OnSelectionChanged();
      }
      break;
    }
    case HeadlessKind::kRichEdit:
      if (event.button == MouseButton::kRight && event.action == MouseAction::kPress) {
        ++static_cast<HeadlessRichEdit&>(node).own_right_clicks_;
      }
      break;
    default:
      break;
  }
}

void HeadlessWindowSystem::MoveMouse(HeadlessWindow& window, Point client) {
  DispatchMouse(window, client, MouseAction::kMove, MouseButton::kNone, 0);
  Settle();
}

void HeadlessWindowSystem::PressMouse(HeadlessWindow& window, Point client, MouseButton button, int key_state) {
  DispatchMouse(window, client, MouseAction::kPress, button, key_state);
  Settle();
}

void HeadlessWindowSystem::ReleaseMouse(HeadlessWindow& window, Point client, MouseButton button, int key_state) {
  DispatchMouse(window, client, MouseAction::kRelease, button, key_state);
  Settle();
}

void HeadlessWindowSystem::Click(HeadlessWindow& window, Point client, MouseButton button, int key_state) {
  MoveMouse(window, client);
  PressMouse(window, client, button, key_state);
  ReleaseMouse(window, client, button, key_state);
}

void HeadlessWindowSystem::DoubleClick(HeadlessWindow& window, Point client, int key_state) {
  Click(window, client, MouseButton::kLeft, key_state);
  DispatchMouse(window, client, MouseAction::kDoubleClick, MouseButton::kLeft, key_state);
  Settle();
  ReleaseMouse(window, client, MouseButton::kLeft, key_state);
}

void HeadlessWindowSystem::MoveMouseAway() {
  capture_ = nullptr;
  SetHover(nullptr);
  loop_.SetCursorPosition({-10000, -10000});
  Settle();
}

HeadlessNode* HeadlessWindowSystem::KeyTarget() const {
  if (active_ == nullptr) return nullptr;
  HeadlessNode* focus = active_->focus_;
  if (focus != nullptr && focus->IsEnabledDeep()) return focus;
  return active_;
}

void HeadlessWindowSystem::TurnWheel(int delta, int key_state) {
  HeadlessNode* target = KeyTarget();
  if (target != nullptr && target->listener() != nullptr) {
    Point cursor = loop_.CursorPosition();
    Point origin = active_->ClientOrigin();
    Point at = target->OriginInWindow();
    target->listener()->OnWheel({delta, {cursor.x - origin.x - at.x, cursor.y - origin.y - at.y}, key_state});
  }
  Settle();
}

void HeadlessWindowSystem::MoveFocusByTab(bool backwards) {
  if (active_ == nullptr) return;
  std::vector<HeadlessNode*> order;
  std::vector<HeadlessNode*> pending{active_};
  while (!pending.empty()) {
    HeadlessNode* node = pending.back();
    pending.pop_back();
    for (HeadlessNode* child : node->children_) {
      pending.push_back(child);
      if (child->tab_stop_ && child->CanTakeFocus() && child->IsShown() && child->IsEnabledDeep()) {
        order.push_back(child);
      }
    }
  }
  if (order.empty()) return;
  std::sort(order.begin(), order.end(), [](HeadlessNode* a, HeadlessNode* b) { return a->serial() < b->serial(); });
  auto current = std::find(order.begin(), order.end(), active_->focus_);
  std::size_t index;
  if (current == order.end()) {
    index = backwards ? order.size() - 1 : 0;
  } else {
    std::size_t at = current - order.begin();
    index = backwards ? (at + order.size() - 1) % order.size() : (at + 1) % order.size();
  }
  FocusNode(order[index]);
}

void HeadlessWindowSystem::KeyDown(int key_code, int key_state) {
  HeadlessNode* target = KeyTarget();
  if (target == nullptr) return;
  KeyEvent event{true, key_code, key_state};
  bool alt_only = (key_state & kKeyStateAlt) && !(key_state & (kKeyStateCtrl | kKeyStateShift));
  if (alt_only && active_->window_listener().OnMnemonicKey(event)) {
    Settle();
    return;
  }
  bool go_on = target->listener() == nullptr || target->listener()->OnKey(event);
  if (go_on) {
    if (key_code == keys::kTab && !(key_state & (kKeyStateCtrl | kKeyStateAlt))) {
      MoveFocusByTab(key_state & kKeyStateShift);
    } else if (key_code == keys::kSpace && target->kind() == HeadlessKind::kButton) {
      static_cast<HeadlessButton*>(target)->pressed_ = true;
    } else if (key_code == keys::kSpace && target->kind() == HeadlessKind::kCheckBox) {
      static_cast<HeadlessCheckBox*>(target)->pressed_ = true;
    } else if (target->kind() == HeadlessKind::kRichEdit) {
      auto* edit = static_cast<HeadlessRichEdit*>(target);
      bool ctrl = key_state & kKeyStateCtrl;
      if (ctrl && key_code == 'C') edit->Copy();
      else if (ctrl && key_code == 'X') edit->Cut();
      else if (ctrl && key_code == 'V') edit->Paste();
      else if (ctrl && key_code == 'A') edit->SetSelection(0, -1);
      else if (key_code == keys::kDelete && !edit->read_only_) {
        if (edit->selection_length_ == 0) edit->SetSelection(edit->selection_start_, 1);
        edit->Clear();
      }
    }
  }
  Settle();
}

void HeadlessWindowSystem::KeyUp(int key_code, int key_state) {
  HeadlessNode* target = KeyTarget();
  if (target == nullptr) return;
  bool go_on = target->listener() == nullptr || target->listener()->OnKey({false, key_code, key_state});
  if (go_on && key_code == keys::kSpace) {
    if (target->kind() == HeadlessKind::kButton) {
      auto* button = static_cast<HeadlessButton*>(target);
      if (button->pressed_) {
        button->pressed_ = false;
        button->listener()->OnClicked();
      }
    } else if (target->kind() == HeadlessKind::kCheckBox) {
      auto* check = static_cast<HeadlessCheckBox*>(target);
      if (check->pressed_) {
        check->pressed_ = false;
        check->checked_ = !check->checked_;
        check->listener()->OnClicked();
      }
    }
  }
  Settle();
}

void HeadlessWindowSystem::PressKey(int key_code, int key_state) {
  KeyDown(key_code, key_state);
  KeyUp(key_code, key_state);
}

void HeadlessWindowSystem::TypeText(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    // The characters are queued input: what the previous one posted runs
    // before the next arrives, as on Windows; paints and timers wait.
    if (i > 0) loop_.RunPostedTasks();
    std::size_t length = GbkCharLength(text, i);
    std::string_view character = text.substr(i, length);
    i += length;
    HeadlessNode* target = KeyTarget();
    if (target == nullptr) break;
    std::uint32_t code = 0;
    for (char byte : character) code = code << 8 | static_cast<unsigned char>(byte);
    bool go_on = target->listener() == nullptr || target->listener()->OnCharacter(code);
    if (!go_on) continue;
    if (target->kind() == HeadlessKind::kRichEdit) {
      static_cast<HeadlessRichEdit*>(target)->TypeText(character);
    } else if (target->kind() == HeadlessKind::kEdit) {
      auto* edit = static_cast<HeadlessEdit*>(target);
      bool fits = !FittingInsertion(character, static_cast<int>(edit->text_.size()), edit->max_length_).empty();
      if (!edit->read_only_ && fits && character != "\r" && character != "\n") {
        edit->text_ += character;
        edit->listener()->OnTextChanged();
      }
    }
  }
  Settle();
}

void HeadlessWindowSystem::ActivateByUser(HeadlessWindow& window) {
  if (window.style_.takes_activation) window.Activate();
  Settle();
}

void HeadlessWindowSystem::ActivateOtherApplication() {
  SetActive(nullptr);
  Settle();
}

void HeadlessWindowSystem::RequestClose(HeadlessWindow& window) {
  window.window_listener().OnCloseRequested();
  Settle();
}

bool HeadlessWindowSystem::PaintInvalidSurfaces() {
  bool painted = false;
  // A paint may create or destroy surfaces; walk a copy.
  std::vector<HeadlessSurface*> surfaces = surfaces_;
  for (HeadlessSurface* surface : surfaces) {
    if (std::find(surfaces_.begin(), surfaces_.end(), surface) == surfaces_.end()) continue;
    if (surface->PaintIfInvalid()) painted = true;
  }
  return painted;
}

}  // namespace tarnwick
