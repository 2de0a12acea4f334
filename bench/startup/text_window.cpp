// The floor of the start-up benchmark: the minimal window painting the texts
// the memo book's first window shows (texts.txt in the working folder, one
// a line, today's memo last), in the faces the memo book resolves, and
// nothing else. What it costs over the empty window is what painting that
// text costs with Qt's fonts, whichever program draws it.
#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QStringList>
#include <QWidget>

#include "app/first_paint_probe.h"
#include "platform/qt/qt_fonts.h"

namespace {

class TextWindow : public QWidget {
 public:
  explicit TextWindow(QStringList texts) : texts_(std::move(texts)) {}

 protected:
  // The short texts in a grid of calendar cells in the Song face, the memo
  // wrapped below them in the default face.
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setFont(tarnwick::qt::ResolveFont(QString::fromUtf16(u"宋体"), 12));
    const qsizetype cells = texts_.size() - 1;
    for (qsizetype i = 0; i < cells; ++i) {
      painter.drawText(QPoint(8 + i % 14 * 25, 24 + i / 14 * 16), texts_[i]);
    }
    painter.setFont(font());
    painter.drawText(rect().adjusted(8, 280, -8, -8), Qt::TextWordWrap, texts_.value(cells));
  }

 private:
  QStringList texts_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  tarnwick::FirstPaintProbe::InstallIfAsked();
  tarnwick::qt::InstallFonts();
  QFile file("texts.txt");
  if (!file.open(QIODevice::ReadOnly)) return 1;
  TextWindow window(QString::fromUtf8(file.readAll()).split('\n'));
  window.resize(365, 568);
  window.show();
  return application.exec();
}
