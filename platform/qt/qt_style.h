// The style of every widget: the platform's own, with drop-down lists that
// open below their box.
#pragma once

namespace tarnwick::qt {

// Made the application's style; before the first widget is made.
void InstallStyle();

}  // namespace tarnwick::qt
