#include "aboutfrm.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdio>

#include "appicon.h"
#include "cp1251.h"
#include "linklabel.h"
#include "options.h"
#include "placement.h"
#include "uitext.h"
#include "weblinks.h"

namespace {

constexpr int kPictureSize = 64;

QLabel* BoldLabel(const QString& text) {
  auto* label = new QLabel(text);
  label->setTextFormat(Qt::PlainText);
  QFont bold = label->font();
  bold.setBold(true);
  label->setFont(bold);
  return label;
}

}  // namespace

std::string AboutVersionText(const std::string& fileVersion, const std::array<int, 4>& fixedVersion) {
  if (!fileVersion.empty()) return fileVersion;
  char text[64];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", fixedVersion[0], fixedVersion[1], fixedVersion[2], fixedVersion[3]);
  return text;
}

std::string MailtoAddress(const std::string& email) { return "mailto:" + email + "?subject=Parlomix"; }

TAboutFrm::TAboutFrm(QWidget* owner) : TModalForm(owner, "AboutFrm", "О программе"_cp, hcNone) {

  imgProgram = new QLabel;
  imgProgram->setObjectName("imgProgram");
  imgProgram->setPixmap(ProgramIcon().pixmap(kPictureSize, kPictureSize));
  imgProgram->setFixedSize(kPictureSize + 8, kPictureSize + 8);
  imgProgram->setAlignment(Qt::AlignCenter);
  imgProgram->setFrameShape(QFrame::StyledPanel);

  lbVersion = BoldLabel(
      QStr("Версия: "_cp + AboutVersionText(ProgramVersion.FileVersion, ProgramVersion.FixedVersion)));
  lbVersion->setObjectName("lbVersion");
  lbPublisher = BoldLabel(QStr("Проект Parlomix"_cp));
  lbPublisher->setObjectName("lbPublisher");
  auto* web = new TLinkLabel(QStr(kPublisherWeb));
  connect(web, &TLinkLabel::clicked, this, [this] { lbWebClick(); });
  lbWeb = web;
  lbWeb->setObjectName("lbWeb");
  auto* email = new TLinkLabel(QStr(kPublisherEmail));
  connect(email, &TLinkLabel::clicked, this, [this] { lbEmailClick(); });
  lbEmail = email;
  lbEmail->setObjectName("lbEmail");
  btOK = new QPushButton(QStr("&OK"));
  btOK->setObjectName("btOK");
  btOK->setDefault(true);
  connect(btOK, &QPushButton::clicked, this, &QDialog::accept);

  auto* links = new QGridLayout;
  links->addWidget(new QLabel("Web:"), 0, 0);
  links->addWidget(lbWeb, 0, 1);
  links->addWidget(new QLabel("E-Mail:"), 1, 0);
  links->addWidget(lbEmail, 1, 1);
  links->setColumnStretch(1, 1);
  auto* text = new QVBoxLayout;
  text->addWidget(lbVersion);
  text->addWidget(lbPublisher);
  text->addSpacing(8);
  text->addLayout(links);
  text->addStretch(1);
  auto* panel = new QHBoxLayout;
  panel->addWidget(imgProgram, 0, Qt::AlignTop);
  panel->addSpacing(12);
  panel->addLayout(text, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btOK);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(panel);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TAboutFrm::FormShow() { CentreWindow(*this, nullptr); }

bool TAboutFrm::lbWebClick() { return OpenURL(CpStr(lbWeb->text())); }

bool TAboutFrm::lbEmailClick() { return OpenURL(MailtoAddress(CpStr(lbEmail->text()))); }
