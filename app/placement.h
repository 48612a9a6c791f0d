// Where windows were left: position and size of each window, and the pane
// widths and column order and widths of its lists, in Placemnt.ini, one
// section per window named after it. Every window that keeps its place
// saves and restores it through TFormPlacement; those always centred do not.
#pragma once

#include <QList>
#include <QRect>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QHeaderView;
class QSplitter;
class QWidget;
class TIniStorage;

// The storage over Placemnt.ini; set by the main window while it lives.
extern TIniStorage* PlacementStorage;

class TFormPlacement {
 public:
  // A window's placement in section `section` of `storage`; with no storage
  // nothing is restored or saved.
  TFormPlacement(TIniStorage* storage, std::string section);
  // The window's placement under its object name in PlacementStorage.
  explicit TFormPlacement(const QWidget& window);

  // Position and size of the client area (without the desktop's frame, in
  // the normal state) and the maximised state, as saved, moved onto a
  // screen that is there now; a window never saved keeps what it has. Call
  // before the window is shown.
  void Restore(QWidget& window) const;
  void Save(const QWidget& window);

  // Pane sizes of a splitter, under `name` inside the window's section.
  void RestoreSplitter(QSplitter& splitter, std::string_view name) const;
  void SaveSplitter(const QSplitter& splitter, std::string_view name);

  // Column order and widths of a list's header.
  void RestoreHeader(QHeaderView& header, std::string_view name) const;
  void SaveHeader(const QHeaderView& header, std::string_view name);

 private:
  std::string Key(std::string_view name) const;
  std::optional<int> ReadInt(std::string_view name) const;

  TIniStorage* storage_;
  std::string section_;
};

// `frame` moved, and shrunk when it is larger, so that it lies wholly on a
// screen: the one it overlaps most, or the first (the primary) when it
// overlaps none. `screens` are the screens' available areas.
QRect FitOntoScreens(const QRect& frame, const QList<QRect>& screens);

// "3,1,2" as numbers when it holds exactly `count` whole numbers; nullopt
// for anything else.
std::optional<std::vector<int>> ParseIntList(std::string_view text, size_t count);

// Moves a window, keeping its size, so that its centre is that of `over`
// (a window) or, for null, of the screen it is on; for the dialogs that are
// centred on their owner or on the screen whatever was saved.
void CentreWindow(QWidget& window, const QWidget* over);
