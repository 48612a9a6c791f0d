#include "updaterules.h"

#include <algorithm>
#include <cmath>

#include "applimits.h"
#include "cp1251.h"
#include "strfuncs.h"
#include "variant.h"
#include "xmldoc.h"

namespace {

int64_t WholeNumber(std::string_view text) {
  int64_t value = 0;
  return TryStrToInt64(text, value) ? value : 0;
}

// The tags a what-is-new text may use: formatting that loads and links
// nothing.
constexpr std::string_view kSafeTags[] = {"b", "i", "u", "em", "strong", "p", "br", "ul", "ol", "li"};

// The length of a safe tag ("<b>", "</li>", "<br/>", "<br />") at the start
// of `text`, and the tag as it is written out; 0 when there is none.
size_t SafeTagAt(std::string_view text, std::string& tag) {
  size_t close = text.find('>');
  if (close == std::string_view::npos) return 0;
  std::string_view inner = text.substr(1, close - 1);
  bool end = !inner.empty() && inner.front() == '/';
  if (end) inner.remove_prefix(1);
  if (!end && inner.ends_with("/")) inner = strfuncs::Trim(inner.substr(0, inner.size() - 1));
  std::string name = cp1251::LowerCase(inner);
  if (std::find(std::begin(kSafeTags), std::end(kSafeTags), name) == std::end(kSafeTags)) return 0;
  tag = (end ? "</" : "<") + name + ">";
  return close + 1;
}

}  // namespace

std::optional<TUpdateInfo> ParseUpdateInfo(std::string_view bytes) {
  if (bytes.size() > kMaxUpdateDescriptionSize) return std::nullopt;
  TXmlDocument doc;
  try {
    doc = ParseXml(bytes);
  } catch (const EXmlError&) {
    return std::nullopt;
  }
  const xmlNode* root = xmlDocGetRootElement(doc.get());
  auto text = [root](std::string_view name) { return cp1251::FromUtf8(NodeText(FirstChildElement(root, name))); };
  auto trimmed = [&text](std::string_view name) { return std::string(strfuncs::Trim(text(name))); };
  TUpdateInfo info;
  info.Version = trimmed("version");
  // A well-formed page that names no version (a captive portal's XHTML) is
  // no description either.
  if (info.Version.empty()) return std::nullopt;
  info.Build = VersionBuild(info.Version);
  info.Download = trimmed("download");
  if (!TryStrToDateTime(trimmed("updatedate"), info.UpdateDate)) info.UpdateDate = 0;
  info.MinBuild = WholeNumber(text("minbuild"));
  info.Url = trimmed("url");
  info.WhatsNew = text("whatsnew");
  return info;
}

int64_t VersionBuild(std::string_view version) {
  size_t dot = version.rfind('.');
  return WholeNumber(dot == std::string_view::npos ? version : version.substr(dot + 1));
}

TUpdateDecision DecideUpdate(TUpdateKind kind, const TUpdateInfo& info, int64_t programBuild, int64_t gatesVersion) {
  TUpdateDecision decision;
  if (kind == ukProgram) {
    if (programBuild < info.Build) decision.Code = ucAvailable;
    return decision;
  }
  if (gatesVersion >= WholeNumber(info.Version)) return decision;
  if (programBuild < info.MinBuild) {
    decision.Code = ucError;
    decision.Message = cp1251::FromUtf8(kNeedNewerProgram);
    return decision;
  }
  decision.Code = ucAvailable;
  decision.Download = true;
  return decision;
}

std::string DownloadFileName(std::string_view address) {
  size_t cut = address.find_last_of("/\\&");
  std::string_view tail = cut == std::string_view::npos ? address : address.substr(cut + 1);
  std::string name;
  for (char c : tail) {
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) continue;
    // No "..": a run of dots is one dot.
    if (c == '.' && !name.empty() && name.back() == '.') continue;
    name += c;
  }
  if (name.size() > kMaxDownloadFileName) name.erase(0, name.size() - kMaxDownloadFileName);
  // No hidden file, and neither "." nor "..".
  size_t first = name.find_first_not_of('.');
  name.erase(0, first == std::string::npos ? name.size() : first);
  return name;
}

bool IsWebAddress(std::string_view address) {
  std::string lower = cp1251::LowerCase(address.substr(0, 8));
  return lower.starts_with("http://") || lower.starts_with("https://");
}

bool IsUpdateDue(TDateTime last, int32_t periodDays, TDateTime today) {
  if (last == 0) return true;
  return std::floor(today) >= std::floor(last) + periodDays;
}

std::string WhatsNewRichText(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    std::string tag;
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "<br>";
    } else if (c == '<') {
      size_t length = SafeTagAt(text.substr(i), tag);
      if (length == 0) {
        out += "&lt;";
      } else {
        out += tag;
        i += length - 1;
      }
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '&') {
      out += "&amp;";
    } else {
      out += c;
    }
  }
  return out;
}
