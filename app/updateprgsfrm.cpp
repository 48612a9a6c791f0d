#include "updateprgsfrm.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <climits>

#include "cp1251.h"
#include "uitext.h"

namespace {

// A bar holds whole numbers of int size: a larger total is shown in steps.
int64_t BarScale(int64_t total) { return total > INT_MAX ? total / INT_MAX + 1 : 1; }

}  // namespace

TUpdatePrgsFrm::TUpdatePrgsFrm(QWidget* owner) : QDialog(owner) {
  setObjectName("UpdatePrgsFrm");
  setWindowTitle(QStr("Обновление"_cp));
  // A caption only: the download ends through "Отмена".
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setModal(true);

  pbProgress = new QProgressBar;
  pbProgress->setObjectName("pbProgress");
  pbProgress->setRange(0, 100);
  pbProgress->setValue(0);
  pbProgress->setTextVisible(false);
  pbProgress->setMinimumWidth(320);
  lbPercent = new QLabel("0 %");
  lbPercent->setObjectName("lbPercent");
  btCancel = new QPushButton(QStr("Отмена"_cp));
  btCancel->setObjectName("btCancel");
  connect(btCancel, &QPushButton::clicked, this, &TUpdatePrgsFrm::btCancelClick);

  auto* row = new QHBoxLayout;
  row->addWidget(pbProgress, 1);
  row->addWidget(lbPercent);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btCancel);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStr("Загрузка обновления"_cp)));
  layout->addLayout(row);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TUpdatePrgsFrm::SetTotal(int64_t bytes) {
  if (bytes == total_) return;
  total_ = bytes;
  pbProgress->setRange(0, static_cast<int>(std::max<int64_t>(bytes, 0) / BarScale(bytes)));
}

void TUpdatePrgsFrm::SetPosition(int64_t bytes) {
  if (total_ <= 0) return;
  position_ = std::clamp<int64_t>(bytes, 0, total_);
  pbProgress->setValue(static_cast<int>(position_ / BarScale(total_)));
  lbPercent->setText(QString::asprintf("%d %%", static_cast<int>(position_ * 100 / total_)));
}

void TUpdatePrgsFrm::btCancelClick() {
  if (cancel_) return;
  cancel_ = true;
  btCancel->setEnabled(false);
  emit cancelRequested();
}

void TUpdatePrgsFrm::reject() { btCancelClick(); }

void TUpdatePrgsFrm::Finish() {
  finished_ = true;
  done(QDialog::Accepted);
}

void TUpdatePrgsFrm::closeEvent(QCloseEvent* event) {
  if (finished_) {
    QDialog::closeEvent(event);
    return;
  }
  event->ignore();
  btCancelClick();
}
