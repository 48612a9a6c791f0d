// The send window "Отправка сообщения": the progress of a send, the captcha
// with its zoom, the code field and the buttons retry, captcha reload,
// feedback and close. What it shows is decided by TSendFormState and what
// its buttons do by TSendView; this class wires them to the controls.
//
// Controls carry their names as object names (gbCode, imgCaptcha, edCode,
// btSend, btCancel, ...), so that they can be found from outside.
#pragma once

#include <QDialog>
#include <QImage>

#include "sendview.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QToolButton;
class QWidget;

class TSendDispFrm : public QDialog, public TSendView {
  Q_OBJECT
 public:
  // The help context of the help link.
  static constexpr int kHelpContext = 7001;

  // A tool window without title-bar buttons, modal, centred on `parent`.
  explicit TSendDispFrm(QWidget* parent = nullptr);
  ~TSendDispFrm() override;

  // The captcha magnification (1 = unscaled).
  double Zoom() const { return zoom_; }

  void ShowCaptcha(const QImage& picture) override;
  bool Execute() override;
  void CloseView(bool ok) override;
  void ShowError(const std::string& text) override;

 protected:
  void showEvent(QShowEvent* event) override;
  // The window manager's close acts as Esc: the window closes only through
  // its buttons, and never while a step runs.
  void closeEvent(QCloseEvent* event) override;
  // Keeps the window vertically centred while the code box comes and goes.
  void resizeEvent(QResizeEvent* event) override;
  // Esc: a click on the visible cancel-type button (btCancel while a step
  // can run, btClose in the error and success views; never btRetry).
  void reject() override;
  // Keys seen by the window first (zoom keys, Enter in the code field) and
  // clicks on the help link.
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The zoom keys when the window itself has the key (no control focused).
  void keyPressEvent(QKeyEvent* event) override;
  void Render() override;

 private slots:
  void edCodeChange();
  void btSendClick();
  void btReloadCaptchaClick();
  void btRetryClick();
  void btCancelClick();
  void btCloseClick();
  void btFeedbackClick();
  void lbHelpLinkClick();
  void sbZoomInClick();
  void sbZoomOutClick();
  void sbZoomResetClick();

 private:
  void BuildControls();
  // Stretches the captcha into the picture frame at the current zoom,
  // lowering the zoom to what fits, and shows the scale.
  void DrawCaptcha();
  // Ctrl with "+", "-" or "*": true when the key was one of them.
  bool ZoomKey(int key, Qt::KeyboardModifiers modifiers);

  QGroupBox* gbCode = nullptr;
  QLabel* lbCaptchaDesc = nullptr;
  QLabel* imgCaptcha = nullptr;
  QToolButton* sbZoomIn = nullptr;
  QToolButton* sbZoomReset = nullptr;
  QToolButton* sbZoomOut = nullptr;
  QLabel* lbScale = nullptr;
  QLineEdit* edCode = nullptr;
  QPushButton* btSend = nullptr;
  QPushButton* btReloadCaptcha = nullptr;
  QWidget* pProgress = nullptr;
  QLabel* lbOperation = nullptr;
  QLabel* lbHelpLink = nullptr;
  QProgressBar* pbSending = nullptr;
  QPushButton* btFeedback = nullptr;
  QPushButton* btClose = nullptr;
  QPushButton* btRetry = nullptr;
  QPushButton* btCancel = nullptr;
  QCheckBox* chbAutoClose = nullptr;

  double zoom_ = 1;
  QImage captchaBitmap_;  // the captcha at its own size
  int lastHeight_ = 0;
};
