#include "ui/self_drawn_control.h"

#include "ui/window.h"

namespace tarnwick {

SelfDrawnControl::SelfDrawnControl(Window& window, Control* parent, std::string name, ControlKind kind,
                                   const Rect& rect, const ControlFlags& flags)
    : Control(window, parent, std::move(name), kind, rect, flags) {
  surface_ = platform().windows().CreateSurface(ParentForNative(), rect, listener());
  AttachNative(*surface_);
}

SelfDrawnControl::~SelfDrawnControl() = default;

void SelfDrawnControl::Repaint() { surface_->InvalidateAll(); }

void SelfDrawnControl::RepaintRect(const Rect& rect) { surface_->Invalidate(rect); }

Color SelfDrawnControl::SystemColorOf(SystemColor role) const { return platform().windows().GetSystemColor(role); }

}  // namespace tarnwick
