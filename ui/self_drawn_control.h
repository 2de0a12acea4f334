// The base of the kinds that draw themselves through the canvas (image
// buttons, labels, picture boxes, links, the calendar): it owns the
// owner-drawn surface and turns its paint requests into Paint calls.
#pragma once

#include <memory>

#include "ui/control.h"

namespace tarnwick {

class SelfDrawnControl : public Control {
 public:
  NativeControl* native() const override { return surface_.get(); }
  NativeParent* native_parent() const override { return surface_.get(); }
  NativeSurface& surface() const { return *surface_; }

  // Asks for the whole control, or a part of it, to be painted again; the
  // paint happens when pending events are processed.
  void Repaint();
  void RepaintRect(const Rect& rect);

 protected:
  SelfDrawnControl(Window& window, Control* parent, std::string name, ControlKind kind, const Rect& rect,
                   const ControlFlags& flags);
  ~SelfDrawnControl() override;

  // Draws the control; canvas covers its client area. dirty is the part that
  // must be drawn (drawing outside it is allowed and discarded).
  virtual void Paint(Canvas& canvas, const Rect& dirty) = 0;

  void OnPaint(Canvas& canvas, const Rect& dirty) override { Paint(canvas, dirty); }
  void OnRectChanged() override { Repaint(); }
  void OnEnabledChanged() override { Repaint(); }

  // The system colour of a role, for parts left at their default colour.
  Color SystemColorOf(SystemColor role) const;

 private:
  std::unique_ptr<NativeSurface> surface_;
};

}  // namespace tarnwick
