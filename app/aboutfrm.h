// The about box: the program's version and the publisher's web page and
// e-mail address as links.
#pragma once

#include <array>
#include <string>

#include "modalform.h"

class QLabel;
class QPushButton;

// The publisher's web page and e-mail address the box links to.
inline constexpr char kPublisherWeb[] = "http://parlomix.org";
inline constexpr char kPublisherEmail[] = "support@parlomix.org";

// The version the box shows: the version text, or the four numbers of the
// program's fixed version when there is no text.
std::string AboutVersionText(const std::string& fileVersion, const std::array<int, 4>& fixedVersion);
// What the e-mail link opens: "mailto:" + address + "?subject=Parlomix".
std::string MailtoAddress(const std::string& email);

class TAboutFrm : public TModalForm {
  Q_OBJECT

 public:
  explicit TAboutFrm(QWidget* owner = nullptr);

  // What a click on each link opens; false when nothing was opened.
  bool lbWebClick();
  bool lbEmailClick();

  QLabel* imgProgram = nullptr;
  QLabel* lbVersion = nullptr;
  QLabel* lbPublisher = nullptr;
  QLabel* lbWeb = nullptr;
  QLabel* lbEmail = nullptr;
  QPushButton* btOK = nullptr;

 protected:
  // Centred on the screen, whatever it was last.
  void FormShow() override;
  void SavePlacement(TFormPlacement&) override {}
};
