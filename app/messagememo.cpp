#include "messagememo.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

#include "applimits.h"
#include "cpinput.h"

namespace {

// Line breaks as the document holds them: one character each.
QString WithDocumentBreaks(QString text) { return text.replace("\r\n", "\n").replace('\r', '\n'); }

// The characters a key writes: a line break for Enter, the text of a
// printable key, none for moves, deletions and shortcuts.
int CharactersWrittenBy(const QKeyEvent& key) {
  if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) return 1;
  const QString text = key.text();
  return !text.isEmpty() && text.at(0).isPrint() ? static_cast<int>(text.size()) : 0;
}

// The longest run of characters without a blank, tab or line break: the
// longest piece a word-wrapped line cannot break.
int LongestUnbrokenRun(const QString& text) {
  int longest = 0, run = 0;
  for (QChar c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
      run = 0;
    else
      longest = std::max(longest, ++run);
  }
  return longest;
}

}  // namespace

TMessageMemo::TMessageMemo(int maxLength, QWidget* parent) : QPlainTextEdit(parent), maxLength_(maxLength) {
  connect(this, &QPlainTextEdit::textChanged, this, [this] { ChooseWrap(); });
}

void TMessageMemo::SetText(const QString& text) {
  QString kept = WithDocumentBreaks(text).left(maxLength_);
  ChooseWrap(kept);
  setPlainText(kept);
}

int TMessageMemo::Room() const {
  QTextCursor cursor = textCursor();
  int length = document()->characterCount() - 1;
  return maxLength_ - length + (cursor.selectionEnd() - cursor.selectionStart());
}

void TMessageMemo::ChooseWrap(const QString& coming) {
  // Word wrap lays out a run it cannot break once more for every line the
  // run spans, which grows with the square of its length; broken anywhere,
  // the run is laid out once.
  bool longRun = LongestUnbrokenRun(coming) > kMaxWordWrapRun || LongestUnbrokenRun(toPlainText()) > kMaxWordWrapRun;
  QTextOption::WrapMode mode = longRun ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere;
  if (wordWrapMode() != mode) setWordWrapMode(mode);
}

void TMessageMemo::keyPressEvent(QKeyEvent* event) {
  int written = CharactersWrittenBy(*event);
  if (written > 0 && written > Room()) {
    event->accept();
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

void TMessageMemo::inputMethodEvent(QInputMethodEvent* event) {
  int room = std::max(Room() + event->replacementLength(), 0);
  if (event->commitString().size() <= room) return QPlainTextEdit::inputMethodEvent(event);
  QInputMethodEvent cut(event->preeditString(), event->attributes());
  cut.setCommitString(event->commitString().left(room), event->replacementStart(), event->replacementLength());
  QPlainTextEdit::inputMethodEvent(&cut);
  event->accept();
}

void TMessageMemo::insertFromMimeData(const QMimeData* source) {
  if (isReadOnly() || !source || !source->hasText()) return;
  QString text = Cp1251Representable(WithDocumentBreaks(source->text())).left(std::max(Room(), 0));
  // Before the text goes in: it is laid out as it is inserted.
  ChooseWrap(text);
  QTextCursor cursor = textCursor();
  cursor.insertText(text);
  setTextCursor(cursor);
  ensureCursorVisible();
}
