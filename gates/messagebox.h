// The program's message boxes. A message box sizes itself for its text and
// buttons only; under a window manager its title then shares a short title
// bar with the frame's icon and buttons and is cut ("Подт…ение"). Every box
// the program shows comes from here and is wide enough for its whole title.
// It lives beside the send window, the lowest layer that has windows, so
// that the send window and the application share it.
#pragma once

#include <QMessageBox>

// Shows a modal message box over `parent` (none: over no window) and returns
// the button pressed; `defaultButton` is the one Enter presses (NoButton:
// the box chooses).
QMessageBox::StandardButton ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                           const QString& text,
                                           QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                           QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
