// The user's input as the tests simulate it: mouse, wheel, keys, typing,
// activation and close requests, each delivered as the system would and
// followed by the events it caused.
#include "platform/headless/headless_window_system.h"

#include <algorithm>

#include "base/text.h"

namespace tarnwick {

// ---- simulated user input -------------------------------------------------

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
  // The focus moves as the button goes down, before the control hears of it.
  bool down = action == MouseAction::kPress || action == MouseAction::kDoubleClick;
  if (down && button == MouseButton::kLeft && target->CanTakeFocus()) FocusNode(target);
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

HeadlessNode* HeadlessWindowSystem::WheelTarget() const {
  HeadlessNode* focus = KeyTarget();
  if (focus == nullptr || (focus->kind() != HeadlessKind::kEdit && focus->kind() != HeadlessKind::kRichEdit)) {
    return focus;
  }
  // The focus is in a text entry: a turn over another control is that one's.
  Point cursor = loop_.CursorPosition();
  Point origin = active_->ClientOrigin();
  HeadlessNode* under = NodeAt(*active_, {cursor.x - origin.x, cursor.y - origin.y});
  if (under == nullptr || under == active_ || !under->IsEnabledDeep()) return focus;
  return under;
}

void HeadlessWindowSystem::TurnWheel(int delta, int key_state) {
  HeadlessNode* target = WheelTarget();
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
  // Creation order, but a control's own controls come before it (a surface's
  // keys act on what its lists have set up): its place is its last one's.
  auto place = [](HeadlessNode* node) {
    int last = node->serial();
    std::vector<HeadlessNode*> inside(node->child_nodes().begin(), node->child_nodes().end());
    while (!inside.empty()) {
      HeadlessNode* child = inside.back();
      inside.pop_back();
      last = std::max(last, child->serial());
      inside.insert(inside.end(), child->child_nodes().begin(), child->child_nodes().end());
    }
    return last;
  };
  std::sort(order.begin(), order.end(), [&](HeadlessNode* a, HeadlessNode* b) {
    return std::pair(place(a), -a->serial()) < std::pair(place(b), -b->serial());
  });
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
    bool types_tab =
        target->kind() == HeadlessKind::kRichEdit && static_cast<HeadlessRichEdit*>(target)->types_tab_;
    bool ctrl = key_state & kKeyStateCtrl;
    if (key_code == keys::kTab && types_tab && !ctrl && !(key_state & kKeyStateAlt)) {
      DeliverCharacter(*target, "\t");
    } else if (key_code == keys::kTab && (!ctrl || types_tab) && !(key_state & kKeyStateAlt)) {
      MoveFocusByTab(key_state & kKeyStateShift);
    } else if (key_code == keys::kSpace && target->kind() == HeadlessKind::kButton) {
      static_cast<HeadlessButton*>(target)->pressed_ = true;
    } else if (key_code == keys::kSpace && target->kind() == HeadlessKind::kCheckBox) {
      static_cast<HeadlessCheckBox*>(target)->pressed_ = true;
    } else if ((key_code == keys::kDown || key_code == keys::kUp) && target->kind() == HeadlessKind::kListBox) {
      // As the system's list: the arrows step from the caret, which is on
      // the first item while nothing is selected.
      auto* list = static_cast<HeadlessListBox*>(target);
      int caret = std::max(list->Selection(), 0);
      int next = std::clamp(caret + (key_code == keys::kDown ? 1 : -1), 0, list->Count() - 1);
      if (next >= 0 && next != list->Selection()) {
        list->SetSelection(next);
        list->listener()->OnSelectionChanged();
      }
    } else if ((key_code == keys::kDown || key_code == keys::kUp) && target->kind() == HeadlessKind::kDropDownList) {
      auto* list = static_cast<HeadlessDropDownList*>(target);
      list->UserChoose(list->selection_ + (key_code == keys::kDown ? 1 : -1));
    } else if (key_code == keys::kReturn && !(key_state & (kKeyStateCtrl | kKeyStateAlt))) {
      DeliverCharacter(*target, "\r");  // the character the key makes
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
    DeliverCharacter(*target, character);
  }
  Settle();
}

void HeadlessWindowSystem::DeliverCharacter(HeadlessNode& target, std::string_view character) {
  std::uint32_t code = 0;
  for (char byte : character) code = code << 8 | static_cast<unsigned char>(byte);
  bool go_on = target.listener() == nullptr || target.listener()->OnCharacter(code);
  if (!go_on) return;
  bool line_break = character == "\r" || character == "\n";
  if (target.kind() == HeadlessKind::kRichEdit) {
    auto& edit = static_cast<HeadlessRichEdit&>(target);
    if (!line_break || edit.multi_line_) edit.TypeText(character);
  } else if (target.kind() == HeadlessKind::kEdit && !line_break) {
    static_cast<HeadlessEdit&>(target).TypeText(character);
  }
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
