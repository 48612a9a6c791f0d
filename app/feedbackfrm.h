// The feedback window: a question, a request for an operator, a
// suggestion or an error report posted to the program's makers, with the
// send log of a failed send when the user attaches it.
#pragma once

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TFeedbackSendThread;
class TSendLogger;

class TFeedbackFrm : public QDialog {
  Q_OBJECT

 public:
  // Centred on `owner`; the name and e-mail of the last time filled in.
  explicit TFeedbackFrm(QWidget* owner = nullptr);
  // Stops a post still running; its result is dropped.
  ~TFeedbackFrm() override;

  // The report of a failed send, over `owner` (the send window): prepared
  // with the gate's text, the phone and the error text, given the send log
  // (null when sends are not logged), shown modally and freed.
  static void ShowErrorReport(QWidget* owner, const std::string& gateText, const std::string& phone,
                              const std::string& errorText, TSendLogger* sendLog);

  // Turns the window into the report of a failed send: the theme fixed to
  // "Сообщить о неработающем операторе" and the message filled in.
  void PrepareErrorReport(const std::string& gateName, const std::string& phone, const std::string& errorText);
  // The send log that may go along as log.zip (not owned; it must outlive
  // the window); the attach box is enabled exactly when there is one.
  void SetSendLog(TSendLogger* logger);
  TSendLogger* SendLog() const { return sendLog_; }
  bool IsEmailValid() const;
  // The hint and message of the selected theme; what was typed goes.
  void ApplyTheme();
  // Locks the window while the post runs (hourglass, controls disabled),
  // and gives the controls back as they were.
  void SetBusy(bool busy);
  bool Busy() const { return busy_; }

  void btSendClick();
  // The post has ended: the window closes with OK, or says it failed and
  // stays open as it is.
  void SendDone(bool success);

  // The message with CR LF line breaks.
  std::string MessageText() const;

  QLineEdit* edName = nullptr;
  QLineEdit* edEMail = nullptr;
  QComboBox* cbTheme = nullptr;
  QLabel* stComment = nullptr;
  QPlainTextEdit* mMsg = nullptr;
  QCheckBox* chbAttachLog = nullptr;
  QPushButton* btSend = nullptr;
  QPushButton* btCancel = nullptr;

 protected:
  // Tells the user something in a message box.
  virtual void ShowMessageText(const std::string& text);
  void closeEvent(QCloseEvent* event) override;
  void done(int result) override;

 private:
  void SetMessageText(const std::string& text);

  TSendLogger* sendLog_ = nullptr;
  bool busy_ = false;
  std::vector<std::pair<QWidget*, bool>> enabledBeforeBusy_;
  std::unique_ptr<TFeedbackSendThread> sender_;
};
