#include "placement.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QSplitter>
#include <QWidget>
#include <algorithm>

#include "applimits.h"
#include "inistorage.h"
#include "variant.h"
#include "uitext.h"

TIniStorage* PlacementStorage = nullptr;

namespace {

std::string JoinInts(const std::vector<int>& values) {
  std::string text;
  for (int v : values) text += (text.empty() ? "" : ",") + std::to_string(v);
  return text;
}

bool ValidSize(int size) { return size >= 0 && size <= kMaxSavedWindowExtent; }

// A saved position that far off is on no screen anyway; brought within
// reach first, so that a frame's right and bottom edges stay numbers.
int ReachablePosition(int position) { return std::clamp(position, -kMaxSavedWindowExtent, kMaxSavedWindowExtent); }

QList<QRect> AvailableScreens() {
  QList<QRect> areas;
  for (const QScreen* screen : QGuiApplication::screens()) areas.append(screen->availableGeometry());
  if (QScreen* primary = QGuiApplication::primaryScreen()) {
    areas.removeOne(primary->availableGeometry());
    areas.prepend(primary->availableGeometry());
  }
  return areas;
}

}  // namespace

std::optional<std::vector<int>> ParseIntList(std::string_view text, size_t count) {
  std::vector<int> values;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    std::string_view part = text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    int64_t v;
    if (!TryStrToInt64(part, v) || v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    values.push_back(static_cast<int>(v));
    if (values.size() > count || comma == std::string_view::npos) break;
    start = comma + 1;
  }
  if (values.size() != count) return std::nullopt;
  return values;
}

QRect FitOntoScreens(const QRect& frame, const QList<QRect>& screens) {
  if (screens.isEmpty()) return frame;
  QRect target = screens.front();
  qint64 best = 0;
  for (const QRect& s : screens) {
    QRect overlap = s.intersected(frame);
    qint64 area = overlap.isEmpty() ? 0 : qint64(overlap.width()) * overlap.height();
    if (area > best) {
      best = area;
      target = s;
    }
  }
  QRect fitted(frame.topLeft(), frame.size().expandedTo(QSize(0, 0)).boundedTo(target.size()));
  fitted.moveLeft(std::clamp(fitted.left(), target.left(), target.right() - fitted.width() + 1));
  fitted.moveTop(std::clamp(fitted.top(), target.top(), target.bottom() - fitted.height() + 1));
  return fitted;
}

TFormPlacement::TFormPlacement(TIniStorage* storage, std::string section)
    : storage_(storage), section_(std::move(section)) {}

TFormPlacement::TFormPlacement(const QWidget& window)
    : TFormPlacement(PlacementStorage, CpStr(window.objectName())) {}

std::string TFormPlacement::Key(std::string_view name) const { return section_ + "\\" + std::string(name); }

std::optional<int> TFormPlacement::ReadInt(std::string_view name) const {
  auto values = ParseIntList(storage_->ReadString(Key(name), ""), 1);
  if (!values) return std::nullopt;
  return values->front();
}

void TFormPlacement::Restore(QWidget& window) const {
  if (!storage_ || section_.empty()) return;
  auto left = ReadInt("Left"), top = ReadInt("Top"), width = ReadInt("Width"), height = ReadInt("Height");
  if (!left || !top || !width || !height || *width <= 0 || *height <= 0 || !ValidSize(*width) ||
      !ValidSize(*height))
    return;
  // Never smaller than the window's controls need.
  QSize size = QSize(*width, *height).expandedTo(window.minimumSizeHint());
  QRect area = FitOntoScreens(QRect(QPoint(ReachablePosition(*left), ReachablePosition(*top)), size), AvailableScreens());
  window.setGeometry(area);
  if (storage_->ReadBool(Key("Maximized"), false)) window.setWindowState(window.windowState() | Qt::WindowMaximized);
}

void TFormPlacement::Save(const QWidget& window) {
  if (!storage_ || section_.empty()) return;
  // The client area in either state: a maximised window knows its normal
  // place only without the frame, and a place saved with the frame but put
  // back without it moves the window by a title bar at every run.
  QRect area = window.isMaximized() ? window.normalGeometry() : window.geometry();
  if (area.isEmpty()) area = window.geometry();
  storage_->WriteInteger(Key("Left"), area.left());
  storage_->WriteInteger(Key("Top"), area.top());
  storage_->WriteInteger(Key("Width"), area.width());
  storage_->WriteInteger(Key("Height"), area.height());
  storage_->WriteBool(Key("Maximized"), window.isMaximized());
}

void TFormPlacement::RestoreSplitter(QSplitter& splitter, std::string_view name) const {
  if (!storage_) return;
  auto sizes = ParseIntList(storage_->ReadString(Key(std::string(name) + ".Sizes"), ""), splitter.count());
  if (!sizes || !std::all_of(sizes->begin(), sizes->end(), ValidSize)) return;
  splitter.setSizes(QList<int>(sizes->begin(), sizes->end()));
}

void TFormPlacement::SaveSplitter(const QSplitter& splitter, std::string_view name) {
  if (!storage_) return;
  QList<int> sizes = splitter.sizes();
  storage_->WriteString(Key(std::string(name) + ".Sizes"), JoinInts(std::vector<int>(sizes.begin(), sizes.end())));
}

void TFormPlacement::RestoreHeader(QHeaderView& header, std::string_view name) const {
  if (!storage_) return;
  size_t count = static_cast<size_t>(header.count());
  auto order = ParseIntList(storage_->ReadString(Key(std::string(name) + ".Order"), ""), count);
  if (order) {
    // Only an order naming every column once is used.
    std::vector<int> sorted = *order;
    std::sort(sorted.begin(), sorted.end());
    bool permutation = true;
    for (size_t i = 0; i < sorted.size(); ++i) permutation = permutation && sorted[i] == static_cast<int>(i);
    if (permutation)
      for (int visual = 0; visual < static_cast<int>(count); ++visual)
        header.moveSection(header.visualIndex((*order)[visual]), visual);
  }
  auto widths = ParseIntList(storage_->ReadString(Key(std::string(name) + ".Widths"), ""), count);
  if (widths && std::all_of(widths->begin(), widths->end(), ValidSize))
    for (int logical = 0; logical < static_cast<int>(count); ++logical) header.resizeSection(logical, (*widths)[logical]);
}

void TFormPlacement::SaveHeader(const QHeaderView& header, std::string_view name) {
  if (!storage_) return;
  std::vector<int> order, widths;
  for (int visual = 0; visual < header.count(); ++visual) order.push_back(header.logicalIndex(visual));
  for (int logical = 0; logical < header.count(); ++logical) widths.push_back(header.sectionSize(logical));
  storage_->WriteString(Key(std::string(name) + ".Order"), JoinInts(order));
  storage_->WriteString(Key(std::string(name) + ".Widths"), JoinInts(widths));
}

void CentreWindow(QWidget& window, const QWidget* over) {
  QRect area;
  if (over) {
    area = over->frameGeometry();
  } else if (QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen()) {
    area = screen->availableGeometry();
  }
  if (area.isEmpty()) return;
  // With the frame once the desktop has told it (not before the first show
  // on most desktops), else the client area stands for it.
  QRect frame(QPoint(), window.frameGeometry().size());
  frame.moveCenter(area.center());
  window.move(FitOntoScreens(frame, AvailableScreens()).topLeft());
}
