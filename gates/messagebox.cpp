#include "messagebox.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QShowEvent>

namespace {

// What a title bar keeps beside its title: the window's icon, three buttons
// (minimise, maximise, close) and the margins between them, as the common
// window managers' themes draw them at the default font.
constexpr int kTitleBarRoom = 120;

// The least width of a window whose title is to show whole in a window
// manager's title bar: the title in a bold face of the application's font,
// the way title bars commonly draw it, and the room beside it.
int WidthForTitle(const QString& title) {
  QFont font = QApplication::font();
  font.setBold(true);
  return QFontMetrics(font).horizontalAdvance(title) + kTitleBarRoom;
}

// Qt's box fixes its own width whenever it lays itself out; this one widens
// it again for its title each time.
class TMessageBox : public QMessageBox {
 public:
  TMessageBox(Icon icon, const QString& title, const QString& text, StandardButtons buttons, QWidget* parent)
      : QMessageBox(icon, title, text, buttons, parent) {}

 protected:
  bool event(QEvent* event) override {
    bool handled = QMessageBox::event(event);
    if (event->type() == QEvent::LayoutRequest && isVisible()) Widen(false);
    return handled;
  }
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);
    // Placed on its owner before it knew its width: the growth is shared
    // out on both sides, so that it stays centred.
    Widen(!event->spontaneous());
  }

 private:
  void Widen(bool keepCentred) {
    const int width = WidthForTitle(windowTitle());
    if (this->width() >= width) return;
    const int growth = width - this->width();
    setFixedWidth(width);
    if (keepCentred) move(x() - growth / 2, y());
  }
};

}  // namespace

QMessageBox::StandardButton ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                           const QString& text, QMessageBox::StandardButtons buttons,
                                           QMessageBox::StandardButton defaultButton) {
  TMessageBox box(icon, title, text, buttons, parent);
  if (defaultButton != QMessageBox::NoButton) box.setDefaultButton(defaultButton);
  if (box.exec() == -1) return QMessageBox::Cancel;
  return box.standardButton(box.clickedButton());
}
