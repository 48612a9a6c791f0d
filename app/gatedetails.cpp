#include "gatedetails.h"

#include "cp1251.h"
#include "gate.h"
#include "variant.h"
#include "weblinks.h"

namespace {

std::string YesNo(bool value) { return value ? "да"_cp : "нет"_cp; }

// Lines of a text broken at CR LF, LF or CR; a break at the very end makes
// no empty last line.
std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

}  // namespace

int GateImageIndex(std::string_view type) { return cp1251::SameText(type, "SMS") ? 0 : 1; }


std::string GateInfoText(const TGate& gate, std::string_view name) {
  try {
    return VarToStr(gate.Info.GetItemNamed(name));
  } catch (const EVariantError&) {
    return {};
  }
}

std::vector<std::string> GateCapabilityLines(const TGate& gate) {
  bool unicode = gate.Info.GetFlagNamed("SupportUnicode");
  std::string symbols = GateInfoText(gate, "MaxSymbols");
  if (unicode) symbols += "/" + GateInfoText(gate, "MaxUnicodeSymbols");
  std::vector<std::string> lines = {
      "Требует код подтверждения: "_cp + YesNo(gate.Info.GetFlagNamed("Captcha")),
      "Поддерживает юникод: "_cp + YesNo(unicode),
      "Количество символов: "_cp + symbols,
      "Поддерживает быстрые сообщения: "_cp + YesNo(gate.Info.GetFlagNamed("SupportFlash")),
      "Поддерживает указание времени доставки: "_cp + YesNo(gate.Info.GetFlagNamed("SupportDTDelivery")),
      "Поддерживает проверку статуса доставки: "_cp + YesNo(gate.Info.GetFlagNamed("SupportCheckDelivery")),
  };
  std::string description = GateInfoText(gate, "Description");
  if (description.empty()) return lines;
  lines.emplace_back();
  for (std::string& line : SplitLines(description)) lines.push_back(std::move(line));
  return lines;
}

bool IsGateSiteURL(std::string_view url) {
  std::string lower = cp1251::LowerCase(url);
  bool web = lower.starts_with("http://") || lower.starts_with("https://");
  return web && IsOpenableURL(url);
}
