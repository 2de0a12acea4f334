// How the Win32 backend's parts find the native window behind a layer
// object: the window system's top-level windows (and parents) implement
// HasWindowHandle, and the dialogs ask for the owner's HWND through it.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/window_system.h"

namespace tarnwick::win32 {

class HasWindowHandle {
 public:
  virtual ~HasWindowHandle() = default;
  virtual HWND window_handle() const = 0;
};

// The HWND behind a window, parent or control of this backend; nullptr for
// nullptr or anything else.
template <typename T>
HWND WindowHandleOf(const T* object) {
  const auto* owner = dynamic_cast<const HasWindowHandle*>(object);
  return owner == nullptr ? nullptr : owner->window_handle();
}

}  // namespace tarnwick::win32
