#include "weblinks.h"

#include <QDesktopServices>
#include <QUrl>
#include <QVariant>
#include <QWidget>

#include "cp1251.h"
#include "options.h"
#include "uitext.h"

namespace {

constexpr const char* kHelpContextProperty = "parlomixHelpContext";

}  // namespace

bool IsOpenableURL(std::string_view url) {
  QUrl u(QStr(url), QUrl::StrictMode);
  if (!u.isValid()) return false;
  QString scheme = u.scheme().toLower();
  if (scheme == "mailto") return !u.path().isEmpty();
  return (scheme == "http" || scheme == "https") && !u.host().isEmpty();
}

std::string HelpContextURL(std::string_view helpURL, int context) {
  std::string url(helpURL);
  url += url.find('?') == std::string::npos ? "?content=" : "&content=";
  return url + std::to_string(context);
}

bool OpenURL(const std::string& url) {
  if (!IsOpenableURL(url)) return false;
  return QDesktopServices::openUrl(QUrl(QStr(url), QUrl::StrictMode));
}

bool ShowHelpContext(int context) {
  if (context == hcNone || !Options) return false;
  return OpenURL(HelpContextURL(Options->ReadString("General\\HelpURL"), context));
}

void SetHelpContext(QWidget* widget, int context) { widget->setProperty(kHelpContextProperty, context); }

int HelpContextOf(const QWidget* widget) {
  // A window without a context of its own does not borrow its owner's.
  for (; widget; widget = widget->parentWidget()) {
    QVariant v = widget->property(kHelpContextProperty);
    if (v.isValid() && v.toInt() != hcNone) return v.toInt();
    if (widget->isWindow()) break;
  }
  return hcNone;
}
