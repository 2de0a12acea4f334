#include "platform/headless/headless_window_system.h"

#include <algorithm>

#include "base/text.h"

namespace tarnwick {

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
    std::replace(dialog_openers_.begin(), dialog_openers_.end(), window, static_cast<HeadlessWindow*>(nullptr));
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

void HeadlessWindowSystem::SetActive(HeadlessWindow* window, bool to_other_program) {
  if (active_ == window) return;
  HeadlessWindow* old = active_;
  active_ = window;
  if (old != nullptr) {
    if (old->focus_ != nullptr && old->focus_->listener() != nullptr) old->focus_->listener()->OnFocusChanged(false);
    old->window_listener().OnActivationChanged(false, window == nullptr && to_other_program);
  }
  if (window != nullptr) {
    window->window_listener().OnActivationChanged(true, false);
    if (active_ == window && window->focus_ != nullptr && window->focus_->listener() != nullptr) {
      window->focus_->listener()->OnFocusChanged(true);
    }
  }
}

void HeadlessWindowSystem::DialogShown() {
  dialog_openers_.push_back(active_);
  SetActive(nullptr, false);
}

void HeadlessWindowSystem::DialogClosed() {
  if (dialog_openers_.empty()) return;
  HeadlessWindow* opener = dialog_openers_.back();
  dialog_openers_.pop_back();
  if (active_ == nullptr && opener != nullptr && opener->visible_) SetActive(opener);
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

}  // namespace tarnwick
