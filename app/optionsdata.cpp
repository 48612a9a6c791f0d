#include "optionsdata.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "cp1251.h"
#include "options.h"
#include "variant.h"

namespace {

using enum TOptionFieldKind;

constexpr TOptionField kFields[] = {
    // Общее
    {"chbMinimizeToTray", "Interface\\MinimizeToTray", Check},
    {"chbCloseToTray", "Interface\\CloseToTray", Check},
    {"chbAlwaysInTray", "Interface\\AlwaysInTray", Check},
    {"chbRestoreDblClick", "Interface\\TrayRestoreDblClick", Check},
    {"edSignature", "Message\\Signature", Text},
    {"edSignatureDivider", "Message\\SignatureDelimiter", Text},
    // Поведение
    {"chbFormatPhones", "Interface\\FormatPhones", Check},
    {"chbOneInstance", "Interface\\OneInstance", Check},
    {"chbSaveAfterExit", "Message\\SaveOnExit", Check},
    {"chbClearAfterSend", "Message\\ClearAfterSend", Check},
    {"chbClearOnlyText", "Message\\ClearOnlyText", Check},
    {"chbSaveHistory", "Message\\AddToHistory", Check},
    {"chbClearOnExit", "Message\\ClearHistoryOnExit", Check},
    {"chbLogSend", "Send\\LogSend", Check},
    {"chbCheckDelivery", "Send\\CheckDelivery", Check},
    {"chbAutoClose", "Send\\AutoCloseDispSuccess", Check},
    // Прокси
    {"rbProxy", "Network\\Proxy", Proxy},
    {"edHost", "Network\\ProxyHost", Text},
    {"edPort", "Network\\ProxyPort", Port},
    {"chbAuth", "Network\\ProxyAuth", Check},
    {"edName", "Network\\ProxyName", Text},
    {"edPass", "Network\\ProxyPass", Text},
    // Автообновление
    {"chbAutoCheckUpdate", "Update\\AutoCheckUpdate", Check},
    {"cbUpdatePeriod", "Update\\UpdatePeriod", Period},
    {"chbAutoUpdateGates", "Update\\AutoCheckUpdateGates", Check},
    {"cbUpdateGatesPeriod", "Update\\UpdateGatesPeriod", Period},
    // Статистика
    {"chbStats", "Stats\\LogStats", Check},
    {"chbSendStatsToServer", "Stats\\SendStatsToServer", Check},
};

constexpr const char* kPeriods[] = {"1", "2", "3", "4", "5", "7", "10", "15", "20", "30"};
constexpr const char* kProxyTypes[] = {"HTTP/HTTPS", "Socks4/Socks4A", "Socks5"};
constexpr const char* kProxyKinds[] = {"HTTP", "SOCKS4", "SOCKS5"};  // by type entry
constexpr const char* kPorts[] = {"8080", "3128", "1080"};

// Dependent control -> the check box it follows.
constexpr std::pair<std::string_view, std::string_view> kDependencies[] = {
    {"chbClearOnlyText", "chbClearAfterSend"},
    {"chbClearOnExit", "chbSaveHistory"},
    {"chbSendStatsToServer", "chbStats"},
    {"cbUpdatePeriod", "chbAutoCheckUpdate"},
    {"cbUpdateGatesPeriod", "chbAutoUpdateGates"},
    {"gbProxy", "rbProxy"},
    {"edName", "chbAuth"},
    {"edPass", "chbAuth"},
};

// The check box whose option is written only while it is enabled.
constexpr std::string_view kClearOnExit = "chbClearOnExit";
// The controls inside the proxy group follow the group too.
constexpr std::string_view kProxyGroup = "gbProxy";
constexpr std::string_view kProxyGroupMembers[] = {"lbProxyType", "cbProxyType", "lbHost", "edHost", "lbPort",
                                                   "edPort",      "chbAuth",     "lbName", "edName", "lbPass",
                                                   "edPass"};

std::string PeriodEntry(const std::string& stored) {
  for (const char* entry : kPeriods)
    if (stored == entry) return entry;
  return std::string(kFallbackPeriod);
}

bool SourceChecked(const TOptionsState& state, std::string_view source) {
  if (source == "rbProxy") return state.proxyMode == TProxyMode::Proxy;
  return state.Checked(source);
}

}  // namespace

std::span<const TOptionField> OptionFields() { return kFields; }
std::span<const char* const> UpdatePeriodEntries() { return kPeriods; }
std::span<const char* const> ProxyTypeEntries() { return kProxyTypes; }
std::span<const char* const> ProxyPortEntries() { return kPorts; }

bool TOptionsState::Checked(std::string_view control) const {
  auto it = checked.find(control);
  return it != checked.end() && it->second;
}

std::string TOptionsState::Text(std::string_view control) const {
  auto it = text.find(control);
  return it == text.end() ? std::string() : it->second;
}

std::string_view EnablingControl(std::string_view control) {
  // A label follows its control.
  std::string named(control);
  if (named.starts_with("lb")) named = "ed" + named.substr(2);
  for (const auto& [dependent, source] : kDependencies)
    if (dependent == named) return source;
  return {};
}

bool IsControlEnabled(const TOptionsState& state, std::string_view control) {
  bool inProxyGroup = std::find(std::begin(kProxyGroupMembers), std::end(kProxyGroupMembers), control) !=
                      std::end(kProxyGroupMembers);
  if (inProxyGroup && !IsControlEnabled(state, kProxyGroup)) return false;
  std::string_view source = EnablingControl(control);
  return source.empty() || SourceChecked(state, source);
}

void ParseProxyOption(std::string_view value, TProxyMode& mode, int& type) {
  if (cp1251::SameText(value, "IE")) {
    mode = TProxyMode::IE;
    return;
  }
  if (cp1251::SameText(value, "Direct")) {
    mode = TProxyMode::Direct;
    return;
  }
  for (int i = 0; i < static_cast<int>(std::size(kProxyKinds)); ++i) {
    if (!cp1251::SameText(value, kProxyKinds[i])) continue;
    mode = TProxyMode::Proxy;
    type = i;
    return;
  }
  // Anything else leaves the choice as the window starts: the system's proxy.
}

std::string ProxyOptionText(TProxyMode mode, int type) {
  if (mode == TProxyMode::IE) return "IE";
  if (mode == TProxyMode::Direct) return "Direct";
  return kProxyKinds[std::clamp(type, 0, static_cast<int>(std::size(kProxyKinds)) - 1)];
}

int NumberOr(std::string_view text, int fallback) {
  int64_t value = 0;
  if (!TryStrToInt64(text, value) || value < INT32_MIN || value > INT32_MAX) return fallback;
  return static_cast<int>(value);
}

TOptionsState LoadOptionsState(const TCustomOptions& options) {
  TOptionsState state;
  for (const TOptionField& f : kFields) {
    switch (f.kind) {
      case Check: state.checked[f.control] = options.ReadBool(f.key); break;
      case Text: state.text[f.control] = options.ReadString(f.key); break;
      case Port: state.text[f.control] = std::to_string(options.ReadInteger(f.key)); break;
      case Period: state.text[f.control] = PeriodEntry(options.ReadString(f.key)); break;
      case Proxy: ParseProxyOption(options.ReadString(f.key), state.proxyMode, state.proxyType); break;
    }
  }
  return state;
}

void SaveOptionsState(const TOptionsState& state, TCustomOptions& options) {
  for (const TOptionField& f : kFields) {
    switch (f.kind) {
      case Check: {
        bool value = state.Checked(f.control);
        if (f.control == kClearOnExit) value = value && IsControlEnabled(state, f.control);
        options.WriteBool(f.key, value);
        break;
      }
      case Text: options.WriteString(f.key, state.Text(f.control)); break;
      case Port: options.WriteInteger(f.key, NumberOr(state.Text(f.control), 0)); break;
      case Period: options.WriteInteger(f.key, NumberOr(state.Text(f.control), NumberOr(kFallbackPeriod, 5))); break;
      case Proxy: options.WriteString(f.key, ProxyOptionText(state.proxyMode, state.proxyType)); break;
    }
  }
}
