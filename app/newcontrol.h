// Controls made the way every window of the program makes them: named as
// the window's description names them, with their Windows-1251 caption.
#pragma once

#include <initializer_list>
#include <string>

#include "uitext.h"

class QAction;
class QHBoxLayout;
class QPushButton;
class QWidget;

// Makes a check box or radio button no wider than its box and text: Qt
// takes a click only there, so a control stretched across its window would
// ignore a click on its empty right part. Other controls are left alone.
void FitToText(QWidget* control);

// A new control of class W (a button, box, label or group) inside `parent`.
template <class W>
W* NewControl(QWidget* parent, const char* name, const std::string& caption = {}) {
  auto* control = new W(QStr(caption), parent);
  control->setObjectName(name);
  FitToText(control);
  return control;
}

// A push button that stands for `action`: its caption with the accelerator
// mark (so that Alt and the letter press it), its picture, its enabled
// state as it changes, and a click triggers it.
QPushButton* ActionButton(QAction* action);

// A row of buttons at the right edge of a window, in the order given.
QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons);
