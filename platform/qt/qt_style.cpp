#include "platform/qt/qt_style.h"

#include <QApplication>
#include <QProxyStyle>
#include <QStyle>

namespace tarnwick::qt {
namespace {

// Some styles (Fusion among them) open a combo box's list as a menu laid over
// the box, centred on the current item and as tall as the screen allows. A
// drop-down list opens below its box, at most maxVisibleItems rows high.
class DropDownListStyle : public QProxyStyle {
 public:
  DropDownListStyle() : QProxyStyle(QApplication::style()->name()) {}
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* answer) const override {
    if (hint == SH_ComboBox_Popup) return 0;
    return QProxyStyle::styleHint(hint, option, widget, answer);
  }
};

}  // namespace

// The application's style rather than each list's own: a style set on a
// combo box makes it build its list at once, and lay out every entry.
void InstallStyle() { QApplication::setStyle(new DropDownListStyle); }

}  // namespace tarnwick::qt
