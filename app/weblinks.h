// Web pages opened in the user's browser, and context help: F1 in a window
// opens the help page at that window's help context number.
#pragma once

#include <string>
#include <string_view>

class QWidget;

// Help context numbers of the windows.
enum THelpContext : int {
  hcNone = 0,
  hcMainWindow = 1000,
  hcHistory = 2000,
  hcPhoneBook = 3000,
  hcTemplates = 4000,
  hcContactEditor = 5000,
  hcOptions = 6000,
  hcSendWindowControl = 7001,
};

// True for http and https addresses with a host and for mailto addresses:
// the only kinds an address from the options or a gate may open, since
// anything else (file:, a script scheme, a program's own handler) could run
// or reveal something on this machine.
bool IsOpenableURL(std::string_view url);

// The help page at a context: `helpURL` followed by "?content=N", or by
// "&content=N" when it already has a query.
std::string HelpContextURL(std::string_view helpURL, int context);

// Opens a Windows-1251 address in the user's browser; false, and nothing
// opened, when it is not openable or the desktop refused.
bool OpenURL(const std::string& url);

// Opens General\HelpURL at `context`; nothing for hcNone.
bool ShowHelpContext(int context);

// Marks a window or control with its help context, found by HelpContextOf
// from it and every control inside it.
void SetHelpContext(QWidget* widget, int context);
// The context of `widget` or of its nearest ancestor inside the same window
// that has one; hcNone.
int HelpContextOf(const QWidget* widget);
