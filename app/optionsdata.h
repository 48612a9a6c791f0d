// What the options window edits, as plain data: every control with the option
// it stands for, the rules that turn option values into control states and
// back, and which control is enabled by which. The window only moves these
// states in and out of its widgets.
#pragma once

#include <map>
#include <span>
#include <string>
#include <string_view>

class TCustomOptions;

// How a control's state becomes an option value and back.
enum class TOptionFieldKind {
  Check,   // a check box: a Boolean option
  Text,    // an edit: a text option, written as typed
  Proxy,   // the three radio buttons and the type list: Network\Proxy
  Port,    // an editable list: an integer shown as its decimal text
  Period,  // a fixed list of day counts: an integer read as text
};

struct TOptionField {
  const char* control;  // the control's object name
  const char* key;      // the option key
  TOptionFieldKind kind;
};

// Every control of the window with its option, page by page in the order the
// window loads and saves them.
std::span<const TOptionField> OptionFields();

// The entries of both period lists, and the one selected when the stored
// period is none of them.
std::span<const char* const> UpdatePeriodEntries();
inline constexpr std::string_view kFallbackPeriod = "5";
// The entries of the proxy type list: HTTP, SOCKS4, SOCKS5.
std::span<const char* const> ProxyTypeEntries();
// The entries offered by the port list.
std::span<const char* const> ProxyPortEntries();

enum class TProxyMode { Direct, IE, Proxy };

// The state of every control, by object name.
struct TOptionsState {
  std::map<std::string, bool, std::less<>> checked;     // check boxes
  std::map<std::string, std::string, std::less<>> text;  // edits and lists (the entry's text)
  TProxyMode proxyMode = TProxyMode::IE;
  int proxyType = 0;  // always one of the type list's entries

  bool Checked(std::string_view control) const;
  std::string Text(std::string_view control) const;
};

// Whether a control is enabled in this state: the controls that depend on a
// check box (or on the proxy radio button) follow it; every other control is
// enabled.
bool IsControlEnabled(const TOptionsState& state, std::string_view control);
// The check box (or radio button) a control's enabled state follows; empty
// for a control that follows nothing. Labels are named after their control
// ("lbName" follows what "edName" follows).
std::string_view EnablingControl(std::string_view control);

// The controls' states as the options give them.
TOptionsState LoadOptionsState(const TCustomOptions& options);
// Writes every control's option. A check box is written as it is checked,
// enabled or not, except "Очищать историю при выходе", which is written true
// only when it is checked and enabled.
void SaveOptionsState(const TOptionsState& state, TCustomOptions& options);

// Network\Proxy as mode and type entry, compared without regard to case;
// anything unknown is the system's proxy (IE) with type 0.
void ParseProxyOption(std::string_view value, TProxyMode& mode, int& type);
// The Network\Proxy text of a mode and type entry.
std::string ProxyOptionText(TProxyMode mode, int type);
// The whole text as a 32-bit decimal number (blanks around it allowed), or
// `fallback`.
int NumberOr(std::string_view text, int fallback);
