// A person answering a file dialog: the name typed into its name field and
// Enter, and what the dialog offered noted down.
#pragma once

#include <QFileDialog>
#include <QLineEdit>
#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>

#include <string>

#include "app/datawindows.h"
#include "uitext.h"

// What a file dialog offered, and the name typed into it.
struct DialogSeen {
  bool opened = false;
  QStringList filters;
  QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
  QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
  QString suffix;
};

// Answers the next file dialog by typing `path` into its name field and
// pressing Enter.
inline void AnswerFileDialog(DialogSeen& seen, const std::string& path) {
  WhenModal([&seen, path](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dialog, nullptr) << w->metaObject()->className();
    seen.opened = true;
    seen.filters = dialog->nameFilters();
    seen.mode = dialog->acceptMode();
    seen.fileMode = dialog->fileMode();
    seen.suffix = dialog->defaultSuffix();
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setText(QPath(path));
    QTest::keyClick(name, Qt::Key_Return);
    if (dialog->isVisible()) dialog->reject();
  });
}
