// The memo a message is written in: it never holds more than a message text
// may be (what is typed or pasted beyond is cut off), and it stays quick to
// edit at that length.
#pragma once

#include <QPlainTextEdit>
#include <QString>

class TMessageMemo : public QPlainTextEdit {
 public:
  // At most `maxLength` characters, a line break counting one.
  explicit TMessageMemo(int maxLength, QWidget* parent = nullptr);

  int MaxLength() const { return maxLength_; }
  // Replaces the text; what lies beyond the maximum is dropped.
  void SetText(const QString& text);

 protected:
  // A key that would write past the maximum writes nothing.
  void keyPressEvent(QKeyEvent* event) override;
  // What an input method commits is cut to fit.
  void inputMethodEvent(QInputMethodEvent* event) override;
  // A paste or drop is cut to fit, its line breaks taken as the document
  // holds them and its characters as the code page has them.
  void insertFromMimeData(const QMimeData* source) override;

 private:
  // Characters that may still go in place of the selection.
  int Room() const;
  // Word wrap, unless the text (or `coming`, about to be inserted) holds a
  // run too long to be laid out word by word.
  void ChooseWrap(const QString& coming = QString());

  int maxLength_;
};
