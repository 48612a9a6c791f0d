// The new-version window: the version found, what is new in it, a link to
// its download page, and the choice between updating and not.
#pragma once

#include <QDialog>
#include <QLabel>
#include <string>

#include "linklabel.h"

class QPushButton;

class TUpdateInfoFrm : public QDialog {
  Q_OBJECT

 public:
  // Centred on `owner`.
  explicit TUpdateInfoFrm(QWidget* owner = nullptr);

  // The version, shown in bold.
  void SetVersion(const std::string& text);
  // What is new (Windows-1251, lines split by CR LF) with the formatting it
  // may carry; the window grows by as much as the text needs and stays
  // centred where it was.
  void SetWhatsNew(const std::string& text);
  // The download page the link opens (http and https only).
  void SetPageAddress(const std::string& address);
  const std::string& PageAddress() const { return pageAddress_; }

  void lbDownloadClick();
  // Opens the options window on its update page.
  void btOptionsClick();

  QLabel* lbVersion = nullptr;
  QLabel* lbWhatsNew = nullptr;
  TLinkLabel* lbDownload = nullptr;
  QPushButton* btUpdate = nullptr;
  QPushButton* btCancel = nullptr;
  QPushButton* btOptions = nullptr;

 private:
  std::string pageAddress_;
};
