#include "cpinput.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QValidator>
#include <vector>

#include "cp1251.h"

namespace {

// The stretches [start, end) of `text` that the code page lacks, one per
// character.
std::vector<std::pair<qsizetype, qsizetype>> Unrepresentable(const QString& text) {
  std::vector<std::pair<qsizetype, qsizetype>> bad;
  for (qsizetype i = 0; i < text.size();) {
    qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
    char32_t code = length == 2 ? QChar::surrogateToUcs4(text[i], text[i + 1]) : text[i].unicode();
    // Lone surrogates are no characters at all.
    bool lone = length == 1 && text[i].isSurrogate();
    if (lone || (code != '?' && cp1251::FromUnicode(code) == '?')) bad.emplace_back(i, i + length);
    i += length;
  }
  return bad;
}

class TCp1251Validator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override {
    auto bad = Unrepresentable(input);
    for (auto it = bad.rbegin(); it != bad.rend(); ++it) {
      auto [start, end] = *it;
      input.replace(start, end - start, QChar('?'));
      if (pos > start) pos -= static_cast<int>(std::min(end, qsizetype(pos)) - start - 1);
    }
    return Acceptable;
  }
};

}  // namespace

QString Cp1251Representable(const QString& text) {
  QString out = text;
  auto bad = Unrepresentable(text);
  for (auto it = bad.rbegin(); it != bad.rend(); ++it) out.replace(it->first, it->second - it->first, QChar('?'));
  return out;
}

void KeepCp1251(QLineEdit* edit) { edit->setValidator(new TCp1251Validator(edit)); }

void KeepCp1251(QComboBox* combo) { KeepCp1251(combo->lineEdit()); }

void KeepCp1251(QPlainTextEdit* edit) {
  QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [edit] {
    // Positions in the plain text are positions in the document: a line
    // break is one character in both.
    auto bad = Unrepresentable(edit->toPlainText());
    if (bad.empty()) return;
    QTextCursor cursor(edit->document());
    // One step with the typing that brought them, for undo.
    cursor.joinPreviousEditBlock();
    for (auto it = bad.rbegin(); it != bad.rend(); ++it) {
      cursor.setPosition(static_cast<int>(it->first));
      cursor.setPosition(static_cast<int>(it->second), QTextCursor::KeepAnchor);
      cursor.insertText("?");
    }
    cursor.endEditBlock();
  });
}
