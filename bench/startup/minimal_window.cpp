// The reference of the start-up benchmark: the least a Qt Widgets program does
// to show one empty window of the memo book's client size.
#include <QApplication>
#include <QWidget>

#include "app/first_paint_probe.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  tarnwick::FirstPaintProbe::InstallIfAsked();
  QWidget window;
  window.resize(365, 568);
  window.show();
  return application.exec();
}
