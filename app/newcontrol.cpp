#include "newcontrol.h"

#include <QAction>
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

QPushButton* ActionButton(QAction* action) {
  auto* button = new QPushButton(action->text());
  button->setIcon(action->icon());
  button->setEnabled(action->isEnabled());
  QObject::connect(action, &QAction::changed, button, [button, action] {
    button->setText(action->text());
    button->setEnabled(action->isEnabled());
  });
  QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
  return button;
}

void FitToText(QWidget* control) {
  if (!control->inherits("QCheckBox") && !control->inherits("QRadioButton")) return;
  control->setSizePolicy(QSizePolicy::Maximum, control->sizePolicy().verticalPolicy());
}
