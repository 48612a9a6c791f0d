// A label that acts as a link: plain blue text, a hand cursor, underlined
// while the mouse is over it, and a signal when it is clicked. The text is never read as
// rich text, so an address from outside cannot carry markup of its own.
#pragma once

#include <QLabel>

class TLinkLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TLinkLabel(QWidget* parent = nullptr);
  explicit TLinkLabel(const QString& text, QWidget* parent = nullptr);

 signals:
  void clicked();

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void SetUnderline(bool on);
};
