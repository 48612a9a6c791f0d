// The progress window of an update download: the share received so far and
// a button that cancels the download. It closes only when its download has
// ended.
#pragma once

#include <QDialog>
#include <cstdint>

class QLabel;
class QProgressBar;
class QPushButton;

class TUpdatePrgsFrm : public QDialog {
  Q_OBJECT

 public:
  // Centred on `owner`, the main window.
  explicit TUpdatePrgsFrm(QWidget* owner = nullptr);

  // The size announced for the download; a new size starts the bar anew.
  void SetTotal(int64_t bytes);
  // The bytes received: the bar (at most full) and "N %" rounded down;
  // nothing while no size is known.
  void SetPosition(int64_t bytes);
  int64_t Total() const { return total_; }
  int64_t Position() const { return position_; }

  // The user asked to cancel ("Отмена", Esc or the window's close command).
  bool CancelRequested() const { return cancel_; }
  // The download has ended: the window closes with the OK result.
  void Finish();
  bool Ended() const { return finished_; }

  QProgressBar* pbProgress = nullptr;
  QLabel* lbPercent = nullptr;
  QPushButton* btCancel = nullptr;

 signals:
  void cancelRequested();

 public:
  void btCancelClick();
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  int64_t total_ = 0;
  int64_t position_ = 0;
  bool cancel_ = false;
  bool finished_ = false;
};
