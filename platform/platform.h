// The window-system layer: everything the widgets and the program need from
// a window system, behind interfaces split by concern, with one
// implementation per backend folder (headless/, qt/, win32/).
//
//   canvas.h         Canvas: drawing of self-drawn widgets, off-screen buffers
//   window_system.h  WindowSystem: top-level windows, native controls,
//                    owner-drawn surfaces, tooltips, system colours
//   dialogs.h        Dialogs: message boxes, input boxes, file dialogs,
//                    popup menus
//   event_loop.h     EventLoop: posted tasks, timers, pending events, clock,
//                    screen
//   shell.h          Shell: clipboard, opening links
//   image.h          Image: decoded RGBA pictures; the picture files (BMP,
//                    and ICO of 32-bit BMP entries) are decoded in portable
//                    code, never by a backend
//   types.h          geometry, colours, fonts, input events, key codes
//
// Texts crossing the layer are GBK std::string; the backends convert at their
// boundary. Sizes and positions are the program's pixels.
// Only app/ and the backends' own tests name a concrete backend: they build a
// Platform and hand it to the widgets.
#pragma once

#include "platform/canvas.h"
#include "platform/dialogs.h"
#include "platform/event_loop.h"
#include "platform/image.h"
#include "platform/shell.h"
#include "platform/types.h"
#include "platform/window_system.h"

namespace tarnwick {

// One backend's implementations of every part of the layer. The widgets hold
// a reference to it; it must outlive every window created through it.
class Platform {
 public:
  virtual ~Platform() = default;

  virtual WindowSystem& windows() = 0;
  virtual Dialogs& dialogs() = 0;
  virtual EventLoop& loop() = 0;
  virtual Shell& shell() = 0;
};

}  // namespace tarnwick
