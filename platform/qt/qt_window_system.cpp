#include "platform/qt/qt_window_system.h"

#include <QApplication>
#include <QPalette>

#include "platform/qt/qt_canvas.h"
#include "platform/qt/qt_fonts.h"
#include "platform/qt/qt_text.h"

namespace tarnwick::qt {

QWidget* ContainerOf(NativeParent* parent) {
  auto* qt_parent = dynamic_cast<QtParent*>(parent);
  return qt_parent == nullptr ? nullptr : qt_parent->container();
}

Color QtWindowSystem::GetSystemColor(SystemColor role) const {
  QPalette palette = QApplication::palette();
  QColor colour;
  switch (role) {
    case SystemColor::kWindow: colour = palette.color(QPalette::Base); break;
    case SystemColor::kWindowText: colour = palette.color(QPalette::Text); break;
    case SystemColor::kButtonFace: colour = palette.color(QPalette::Button); break;
    case SystemColor::kButtonText: colour = palette.color(QPalette::ButtonText); break;
    case SystemColor::kButtonHighlight: colour = palette.color(QPalette::Light); break;
    case SystemColor::kButtonLight: colour = palette.color(QPalette::Midlight); break;
    case SystemColor::kButtonShadow: colour = palette.color(QPalette::Mid); break;
    case SystemColor::kButtonDarkShadow: colour = palette.color(QPalette::Shadow); break;
    case SystemColor::kGrayText: colour = palette.color(QPalette::Disabled, QPalette::Text); break;
    case SystemColor::kHighlight: colour = palette.color(QPalette::Highlight); break;
    case SystemColor::kHighlightText: colour = palette.color(QPalette::HighlightedText); break;
    case SystemColor::kInfoBackground: colour = palette.color(QPalette::ToolTipBase); break;
    case SystemColor::kInfoText: colour = palette.color(QPalette::ToolTipText); break;
  }
  return Rgb(colour.red(), colour.green(), colour.blue());
}

Font QtWindowSystem::DefaultGuiFont() const {
  QFont font = QApplication::font();
  Font result;
  result.face = FromQString(RequestedGuiFamily());
  result.height = font.pixelSize() > 0 ? font.pixelSize() : 12;
  return result;
}

std::unique_ptr<Canvas> QtWindowSystem::CreateOffscreenCanvas(Size size) { return std::make_unique<QtCanvas>(size); }

}  // namespace tarnwick::qt
