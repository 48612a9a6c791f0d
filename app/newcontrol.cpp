#include "newcontrol.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QSizePolicy>
#include <QWidget>

QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons) {
  auto* row = new QHBoxLayout;
  row->addStretch();
  for (QPushButton* button : buttons) row->addWidget(button);
  return row;
}

void FitToText(QWidget* control) {
  if (!control->inherits("QCheckBox") && !control->inherits("QRadioButton")) return;
  control->setSizePolicy(QSizePolicy::Maximum, control->sizePolicy().verticalPolicy());
}
