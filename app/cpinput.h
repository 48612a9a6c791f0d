// What the user types or pastes is held to the characters Windows-1251 has:
// one it lacks is shown as "?" at once, so that the counter counts, and the
// gate gets, exactly what the field shows.
#pragma once

#include <QString>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;

// Each character the code page lacks becomes "?" (a character written as
// a surrogate pair too becomes one "?").
QString Cp1251Representable(const QString& text);
// Holds the field's typed and pasted text to the code page.
void KeepCp1251(QLineEdit* edit);
void KeepCp1251(QComboBox* combo);
void KeepCp1251(QPlainTextEdit* edit);
