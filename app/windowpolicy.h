// When the main window hides to the tray instead of closing or minimising,
// and what a click on the tray icon does. Without a tray on the desktop the
// window never hides: nothing could bring it back.
#pragma once

// The close command hides the window unless the exit command was used.
inline bool CloseHidesToTray(bool exiting, bool closeToTray, bool trayAvailable) {
  return !exiting && closeToTray && trayAvailable;
}

inline bool MinimizeHidesToTray(bool minimizeToTray, bool trayAvailable) { return minimizeToTray && trayAvailable; }

// A single click toggles the window unless the option asks for a double
// click; a double click toggles only then.
inline bool TrayClickToggles(bool doubleClick, bool restoreOnDoubleClick) {
  return doubleClick == restoreOnDoubleClick;
}

// The tray icon beside a shown window is there only when always wanted; a
// hidden window always has it.
inline bool TrayIconVisible(bool windowShown, bool alwaysInTray) { return !windowShown || alwaysInTray; }
