// The composer's attachment (adding, removing, the preview and its labels,
// the placeholder an MMS without one is sent with) and the recent subjects
// and signatures.
#include <QAbstractItemView>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QSignalBlocker>

#include "applimits.h"
#include "cp1251.h"
#include "lastitems.h"
#include "mediapreview.h"
#include "picture.h"
#include "smsfrm.h"
#include "uitext.h"

namespace {

// The 1x1 picture an MMS without attachment is sent with.
constexpr unsigned char kEmptyGif[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00,
                                       0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x00,
                                       0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02,
                                       0x44, 0x01, 0x00, 0x3B};

}  // namespace

std::shared_ptr<TMemoryStream> TSMSFrm::EmptyImage() const {
  if (!FEmptyImage)
    FEmptyImage = std::make_shared<TMemoryStream>(std::string(std::begin(kEmptyGif), std::end(kEmptyGif)));
  FEmptyImage->Rewind();
  return FEmptyImage;
}

void TSMSFrm::aAddMultimediaExecute() {
  QString chosen = QFileDialog::getOpenFileName(this, QString(), QString(), DialogFilter(MultimediaFileFilter()));
  if (!chosen.isEmpty()) AddMultimediaFile(PathStr(chosen));
}

bool TSMSFrm::AddMultimediaFile(const std::string& path) {
  // Read before anything is cleared: a file that cannot be attached leaves
  // the attachment there was.
  TAttachmentFile file = ReadAttachment(path, kMaxAttachmentSize);
  if (!file.error.empty()) {
    ShowMessageBoxText(file.error);
    return false;
  }
  ClearMultimedia();
  FMedia->SetItemNamed(ContentKey::FileName, Variant::String(file.fileName));
  FMedia->SetItemNamed(ContentKey::ContentType, Variant::String(file.contentType));
  FMedia->SetStream(std::make_shared<TMemoryStream>(std::move(file.bytes)));
  ShowMultimediaPreview();
  ShowMultimediaInfo();
  UpdateActions();
  return true;
}

void TSMSFrm::ClearMultimedia() {
  previewImage_ = QImage();
  imgData->clear();
  if (FMedia) {
    FMedia->SetStream(nullptr);
    FMedia->RemoveNamed(ContentKey::Stream);
    for (std::string_view key : {ContentKey::ContentType, ContentKey::FileName, ContentKey::ImageDimension})
      FMedia->SetItemNamed(key, Variant::String(""));
  }
  ShowMultimediaInfo();
  UpdateActions();
}

void TSMSFrm::ShowMultimediaPreview() {
  TMemoryStream* stream = FMedia ? FMedia->Stream() : nullptr;
  if (!stream) return;
  std::string contentType = EntryText(*FMedia, ContentKey::ContentType);
  int type = MultimediaTypeOf(contentType);
  FMedia->SetItemNamed(ContentKey::Type, Variant::Integer(type));
  previewImage_ = QImage();
  if (type == mtImage) {
    // The bytes say what picture it is, whatever the file was called.
    if (auto picture = LoadGraphicFromStream(stream->Bytes(), contentType)) {
      FMedia->SetItemNamed(ContentKey::ImageDimension,
                           Variant::String(std::to_string(picture->width()) + "x" + std::to_string(picture->height())));
      previewImage_ = std::move(*picture);
    }
  } else if (type == mtAudio) {
    if (!FAudioIcon) FAudioIcon = std::make_unique<QImage>(AudioIcon());
    previewImage_ = *FAudioIcon;
  }
  PaintMultimediaPreview();
  ShowMultimediaInfo();
}

void TSMSFrm::PaintMultimediaPreview() {
  if (previewImage_.isNull()) {
    imgData->clear();
    return;
  }
  QImage shown = FitInto(previewImage_, imgData->contentsRect().size());
  imgData->setPixmap(QPixmap::fromImage(gbMM->isEnabled() ? shown : DisabledLook(shown)));
}

void TSMSFrm::ShowMultimediaInfo() {
  TMemoryStream* stream = FMedia ? FMedia->Stream() : nullptr;
  lbMMSize->setText(QStr(MultimediaSizeText(stream ? stream->Size() : 0)));
  lbMMDim->setText(QStr(MultimediaDimensionText(FMedia ? EntryText(*FMedia, ContentKey::ImageDimension) : "")));
}

// ---- Recent subjects and signatures ----

void TSMSFrm::RememberLastItem(int kind) {
  QComboBox* combo = kind == TLastItems::kSubject ? cbSubject : cbSignature;
  QString text = combo->currentText();
  if (text.isEmpty()) return;
  TLastItems::Add(kind, CpStr(text));
  int listed = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (listed >= 0) combo->removeItem(listed);
  combo->insertItem(0, text);
  combo->setEditText(text);
}

void TSMSFrm::DeleteRecentItem(QComboBox* combo, int kind, int row) {
  if (row < 0 || row >= combo->count()) return;
  TLastItems::Delete(kind, CpStr(combo->itemText(row)));
  // What the field says stays, whichever entry goes.
  QString text = combo->currentText();
  {
    QSignalBlocker block(combo);
    combo->removeItem(row);
    combo->setEditText(text);
  }
  if (combo->count() > 0) combo->view()->setCurrentIndex(combo->model()->index(std::min(row, combo->count() - 1), 0));
}
