#include "update.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <filesystem>

#include "cp1251.h"
#include "downloadthread.h"
#include "files.h"
#include "gatelimits.h"
#include "gatexml.h"
#include "gzipreader.h"
#include "importgate.h"
#include "options.h"
#include "sendstate.h"
#include "updatefolder.h"
#include "updateinfofrm.h"
#include "updateprgsfrm.h"
#include "variant.h"
#include "weblinks.h"

namespace {

int RunningChecks[2] = {0, 0};

const char* const kAddressOption[2] = {"Update\\URL", "Update\\GatesURL"};

// Only a gate list is imported. A page that a captive portal or a broken
// server answers the download with would "import" without a gate, and set
// the installed list's version to nothing.
bool IsGatePackageFile(const std::string& path) {
  std::string bytes;
  if (!TryReadFile(path, kMaxGateXmlSize, bytes)) return false;
  try {
    if (path.size() >= 3 && cp1251::SameText(std::string_view(path).substr(path.size() - 3), ".gz"))
      bytes = InflateGzip(bytes, kMaxGateXmlSize);
    TGateXmlDocument doc(bytes);
    std::optional<std::string> version = ElementAttribute(doc.Root(), "version");
    int64_t number = 0;
    return version && TryStrToInt64(*version, number);
  } catch (const std::exception&) {
    return false;
  }
}

void RemoveFile(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
}

}  // namespace

TUpdate::TUpdate(TUpdateKind kind, QObject* owner) : QObject(owner), kind_(kind == ukProgram ? ukProgram : ukGates) {}

TUpdate::~TUpdate() {
  // Threads first: they write into the file.
  infoThread_.reset();
  fileThread_.reset();
  if (file_) {
    file_.reset();
    RemoveFile(localFileName_);
  }
  if (counted_) --RunningChecks[kind_];
}

bool TUpdate::Running(TUpdateKind kind) { return RunningChecks[kind == ukProgram ? 0 : 1] > 0; }

QWidget* TUpdate::WindowOwner() const {
  if (auto* widget = qobject_cast<QWidget*>(parent())) return widget->window();
  return QApplication::activeWindow();
}

void TUpdate::Check(bool interactive) {
  if (started_) return;
  started_ = true;
  interactive_ = interactive;
  if (Running(kind_)) {
    QTimer::singleShot(0, this, [this] {
      Report(ucCancelled);
      Finish();
    });
    return;
  }
  counted_ = true;
  ++RunningChecks[kind_];
  std::string address = Options ? Options->ReadString(kAddressOption[kind_]) : std::string();
  infoThread_ = std::make_unique<TDownloadThread>(address, nullptr);
  connect(infoThread_.get(), &TDownloadThread::finished, this,
          [this] { RunWhenNoSend(this, [this] { InfoDownloaded(); }); });
}

void TUpdate::InfoDownloaded() {
  // Its finished signal may be what runs this: the thread object goes later.
  TDownloadThread* thread = infoThread_.release();
  thread->deleteLater();
  bool downloaded = thread->Success();
  std::string body = thread->Body();
  // A page that is no description (a captive portal's log-in page) is as
  // good as none: the check has not learnt whether anything is newer.
  std::optional<TUpdateInfo> info = downloaded ? ParseUpdateInfo(body) : std::nullopt;
  if (!info) {
    Report(ucError, "Ошибка загрузки информации о новой версии"_cp);
    Finish();
    return;
  }
  info_ = std::move(*info);
  TUpdateDecision decision = DecideUpdate(kind_, info_, ProgramVersion.Build, ProgramVersion.GatesVersion);
  if (kind_ == ukProgram && decision.Code == ucAvailable && interactive_) {
    // A program update is an installer for another system: "Обновить" takes
    // the user to the download page, and the program goes on running.
    QPointer<TUpdate> self(this);
    bool update = AskUser();
    if (!self) return;
    if (update && IsWebAddress(info_.Url)) OpenURL(info_.Url);
    Report(ucCancelled);
    Finish();
    return;
  }
  Report(decision.Code, decision.Message);
  if (decision.Download && interactive_)
    StartDownload();
  else
    Finish();
}

bool TUpdate::AskUser() {
  QPointer<TUpdateInfoFrm> frm = new TUpdateInfoFrm(WindowOwner());
  frm->SetVersion(info_.Version);
  frm->SetWhatsNew(info_.WhatsNew);
  frm->SetPageAddress(info_.Url);
  bool update = frm->exec() == QDialog::Accepted;
  delete frm.data();
  return update;
}

void TUpdate::StartDownload() {
  downloadAddress_ = info_.Download;
  std::string name = DownloadFileName(downloadAddress_);
  std::string folder = UpdateFolder(ProfileDir);
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  // Without an address or a file name there is nothing to fetch; a caller
  // waiting for the download's result must still hear the end of it.
  if (downloadAddress_.empty() || name.empty()) {
    Report(ucError, "Ошибка загрузки обновления"_cp);
    Finish();
    return;
  }
  localFileName_ = folder + name;
  file_ = std::make_unique<TDownloadFile>(localFileName_);
  if (!file_->Create()) {
    file_.reset();
    Report(ucError, "Ошибка загрузки обновления"_cp);
    Finish();
    return;
  }

  QPointer<TUpdatePrgsFrm> prgs = new TUpdatePrgsFrm(WindowOwner());
  fileThread_ = std::make_unique<TDownloadThread>(downloadAddress_, file_.get());
  TDownloadThread* thread = fileThread_.get();
  connect(thread, &TDownloadThread::progress, prgs, [prgs](qint64 total, qint64 received) {
    prgs->SetTotal(total);
    prgs->SetPosition(received);
  });
  connect(thread, &TDownloadThread::finished, prgs, &TUpdatePrgsFrm::Finish);
  connect(prgs, &TUpdatePrgsFrm::cancelRequested, thread, &TDownloadThread::Cancel);
  QPointer<TUpdate> self(this);
  prgs->exec();
  // The window also closes when the program is ending: the download then
  // stops here, and counts as cancelled.
  bool ended = prgs && prgs->Ended();
  bool cancelled = !ended || (prgs && prgs->CancelRequested());
  delete prgs.data();
  if (!self) return;
  std::unique_ptr<TDownloadThread> finished = std::move(fileThread_);
  if (!ended) finished->Cancel();
  bool success = ended && finished->Success();
  finished.reset();
  FileDownloaded(success, cancelled);
}

void TUpdate::FileDownloaded(bool success, bool cancelled) {
  bool written = file_->Close();
  file_.reset();
  TUpdateCode code = ucError;
  if (cancelled) {
    code = ucCancelled;
  } else if (success && written && IsGatePackageFile(localFileName_)) {
    // Not forced: a gate the user has newer stays. A package that fails
    // (half imported, or unreadable) is an error, and goes like any other.
    try {
      if (ImportGatePackage(localFileName_, false)) code = ucDone;
    } catch (const std::exception&) {
    }
  }
  RemoveFile(localFileName_);
  Report(code, code == ucError ? "Ошибка загрузки обновления"_cp : std::string());
  Finish();
}

void TUpdate::Report(TUpdateCode code, const std::string& message) {
  if (!OnResult) return;
  TUpdateResult result{kind_, code, message};
  OnResult(*this, result);
}

void TUpdate::Finish() {
  if (counted_) --RunningChecks[kind_];
  counted_ = false;
  deleteLater();
}
