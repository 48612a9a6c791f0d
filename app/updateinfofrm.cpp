#include "updateinfofrm.h"

#include <QBoxLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

#include "cp1251.h"
#include "optionsfrm.h"
#include "uitext.h"
#include "updaterules.h"
#include "weblinks.h"

namespace {

// The width the what-is-new text wraps at; its height follows from it.
constexpr int kWhatsNewWidth = 380;

}  // namespace

TUpdateInfoFrm::TUpdateInfoFrm(QWidget* owner) : QDialog(owner) {
  setObjectName("UpdateInfoFrm");
  setWindowTitle(QStr("Новая версия"_cp));

  lbVersion = new QLabel;
  lbVersion->setObjectName("lbVersion");
  lbVersion->setTextFormat(Qt::PlainText);
  QFont bold = lbVersion->font();
  bold.setBold(true);
  lbVersion->setFont(bold);
  auto* versionRow = new QHBoxLayout;
  versionRow->addWidget(new QLabel(QStr("Доступна новая версия Parlomix"_cp)));
  versionRow->addWidget(lbVersion);
  versionRow->addStretch();

  // Rich text from the update server: WhatsNewRichText leaves formatting
  // only, and nothing here follows a link or loads a picture.
  lbWhatsNew = new QLabel;
  lbWhatsNew->setObjectName("lbWhatsNew");
  lbWhatsNew->setTextFormat(Qt::RichText);
  lbWhatsNew->setWordWrap(true);
  lbWhatsNew->setOpenExternalLinks(false);
  lbWhatsNew->setTextInteractionFlags(Qt::NoTextInteraction);
  lbWhatsNew->setFixedWidth(kWhatsNewWidth);
  lbWhatsNew->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  lbDownload = new TLinkLabel(QStr("страницу загрузки"_cp));
  lbDownload->setObjectName("lbDownload");
  connect(lbDownload, &TLinkLabel::clicked, this, &TUpdateInfoFrm::lbDownloadClick);
  auto* linkRow = new QHBoxLayout;
  linkRow->addWidget(new QLabel(QStr("Рекомендуется обновить версию или перейти на"_cp)));
  linkRow->addWidget(lbDownload);
  linkRow->addStretch();

  btUpdate = new QPushButton(QStr("Обновить"_cp));
  btUpdate->setObjectName("btUpdate");
  btUpdate->setDefault(true);
  btCancel = new QPushButton(QStr("Отмена"_cp));
  btCancel->setObjectName("btCancel");
  btOptions = new QPushButton(QStr("Опции обновления"_cp));
  btOptions->setObjectName("btOptions");
  connect(btUpdate, &QPushButton::clicked, this, &QDialog::accept);
  connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(btOptions, &QPushButton::clicked, this, &TUpdateInfoFrm::btOptionsClick);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btOptions);
  buttons->addStretch();
  buttons->addWidget(btUpdate);
  buttons->addWidget(btCancel);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(versionRow);
  layout->addWidget(new QLabel(QStr("В ней:"_cp)));
  layout->addWidget(lbWhatsNew);
  layout->addLayout(linkRow);
  layout->addSpacing(8);
  layout->addLayout(buttons);

  // Placed now, so that SetWhatsNew grows the window about where it stands.
  adjustSize();
  QRect area = owner ? owner->window()->frameGeometry() : screen()->availableGeometry();
  move(area.center() - rect().center());
}

void TUpdateInfoFrm::SetVersion(const std::string& text) { lbVersion->setText(QStr(text)); }

void TUpdateInfoFrm::SetWhatsNew(const std::string& text) {
  int before = lbWhatsNew->heightForWidth(kWhatsNewWidth);
  lbWhatsNew->setText(QStr(WhatsNewRichText(text)));
  int d = lbWhatsNew->heightForWidth(kWhatsNewWidth) - before;
  if (d == 0) return;
  QRect frame = geometry();
  setGeometry(frame.x(), frame.y() - d / 2, frame.width(), frame.height() + d);
}

void TUpdateInfoFrm::SetPageAddress(const std::string& address) { pageAddress_ = address; }

void TUpdateInfoFrm::lbDownloadClick() {
  if (IsWebAddress(pageAddress_)) OpenURL(pageAddress_);
}

void TUpdateInfoFrm::btOptionsClick() {
  TOptionsFrm options(this);
  options.SelectPage(TOptionsFrm::pgUpdate);
  options.exec();
}
