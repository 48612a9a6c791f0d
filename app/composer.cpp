#include "composer.h"

#include <cstdio>
#include <filesystem>

#include "cp1251.h"
#include "files.h"
#include "gate.h"
#include "mime.h"
#include "textutils.h"

namespace {

int64_t InfoInt(const TGate& gate, std::string_view key) {
  try {
    return gate.Info.GetItemNamed(key).AsInt64();
  } catch (const EVariantError&) {
    return 0;
  }
}

}  // namespace

TGateLimits TGateLimits::Of(const TGate& gate) {
  TGateLimits limits;
  limits.Name = gate.Name;
  limits.Type = gate.Type;
  const std::pair<std::string_view, bool TGateLimits::*> flags[] = {
      {"SupportUnicode", &TGateLimits::SupportUnicode},       {"SupportDTDelivery", &TGateLimits::SupportDTDelivery},
      {"SupportFlash", &TGateLimits::SupportFlash},           {"SupportMultiMedia", &TGateLimits::SupportMultiMedia},
      {"SupportAudio", &TGateLimits::SupportAudio},           {"SupportImage", &TGateLimits::SupportImage},
      {"SendWOMultimedia", &TGateLimits::SendWOMultimedia},
  };
  for (const auto& [key, field] : flags) limits.*field = gate.Info.GetFlagNamed(key);
  const std::pair<std::string_view, int64_t TGateLimits::*> numbers[] = {
      {"MaxSymbols", &TGateLimits::MaxSymbols},
      {"MaxUnicodeSymbols", &TGateLimits::MaxUnicodeSymbols},
      {"MaxSubjectSymbols", &TGateLimits::MaxSubjectSymbols},
      {"MaxMultimediaSize", &TGateLimits::MaxMultimediaSize},
  };
  for (const auto& [key, field] : numbers) limits.*field = InfoInt(gate, key);
  return limits;
}

std::string JoinSignature(std::string_view memo, std::string_view signature, std::string_view delimiterOption) {
  std::string text(memo);
  if (signature.empty()) return text;
  std::string delimiter = ExpandLineBreaks(delimiterOption);
  constexpr std::string_view kPlace = "\\s";
  if (delimiter.find(kPlace) == std::string::npos) return text.append(delimiter).append(signature);
  // Replaced left to right in the delimiter only: a signature that itself
  // holds backslash-s stays as typed.
  for (size_t at = delimiter.find(kPlace); at != std::string::npos; at = delimiter.find(kPlace, at + signature.size()))
    delimiter.replace(at, kPlace.size(), signature);
  return text.append(delimiter);
}

int64_t SymbolsLeft(const TGateLimits* gate, std::string_view finalText) {
  if (!gate) return 0;
  int64_t limit = isAscii(finalText) || !gate->SupportUnicode ? gate->MaxSymbols : gate->MaxUnicodeSymbols;
  return limit - static_cast<int64_t>(finalText.size());
}

std::string SymbolCounterText(int64_t length, int64_t left) {
  return "Введено "_cp + std::to_string(length) + " символов, осталось "_cp + std::to_string(left);
}

bool IsSubjectValid(bool mms, const TGateLimits* gate, std::string_view subject) {
  return !mms || !gate || static_cast<int64_t>(subject.size()) <= gate->MaxSubjectSymbols;
}

std::string MultimediaError(bool mms, const TGateLimits* gate, bool hasAttachment, int64_t size, int type) {
  if (!mms || !gate || !hasAttachment) return {};
  if (!gate->SupportMultiMedia) return "Оператор не поддерживает мультимедия"_cp;
  if (size > gate->MaxMultimediaSize) return "Размер мультимедия превышает допустимый предел"_cp;
  if (type == 2 && !gate->SupportAudio) return "Оператор не поддерживает аудио"_cp;
  if (type == 1 && !gate->SupportImage) return "Оператор не поддерживает изображения"_cp;
  return {};
}

TReadiness EvaluateReadiness(const TComposerState& s) {
  const TGateLimits* gate = s.gate;
  bool subjectValid = IsSubjectValid(s.mms, gate, s.subject);
  int64_t left = SymbolsLeft(gate, s.finalText);
  bool mediaValid = s.mediaError.empty();
  TReadiness r;
  r.canSend = gate && !s.memoEmpty && subjectValid && left >= 0 && mediaValid &&
              (s.translitEnabled || isAscii(s.finalText));
  if (s.recipientEmpty)
    r.status = "Введите номер абонента"_cp;
  else if (!gate)
    r.status = "Не найден оператор"_cp;
  else if (!subjectValid)
    r.status = "Тема сообщения превышает допустимый размер "_cp + std::to_string(gate->MaxSubjectSymbols) + " символов"_cp;
  else if (s.memoEmpty)
    r.status = "Введите текст сообщения"_cp;
  else if (left < 0)
    r.status = "Длина сообщения превышает допустимый размер"_cp;
  else if (mediaValid)
    r.status = "Готово к отправке"_cp;
  else
    r.status = s.mediaError;
  return r;
}

int MultimediaTypeOf(std::string_view contentType) {
  std::string lower = cp1251::LowerCase(contentType);
  if (lower.find("image") != std::string::npos) return 1;
  if (lower.find("audio") != std::string::npos || lower.find("smaf") != std::string::npos) return 2;
  return 0;
}

std::string MultimediaSizeText(int64_t size) {
  char number[64];
  std::snprintf(number, sizeof number, "%.2f", static_cast<double>(size) / 1024);
  return "Размер: "_cp + number + " Кб"_cp;
}

std::string MultimediaDimensionText(std::string_view dimension) { return "Разрешение: "_cp + std::string(dimension); }

std::string_view MultimediaFileFilter() {
  static const std::string filter =
      "Мультимедия|*.bmp;*.gif;*.jpg;*.png;*.wav;*.mp3;*.mid;*.mmf|Изображения|*.bmp;*.gif;*.jpg;*.png|Аудио|*.wav;*.mp3;*.mid;*.mmf"_cp;
  return filter;
}

TAttachmentFile ReadAttachment(const std::string& path, int64_t maxSize) {
  TAttachmentFile file;
  std::filesystem::path p(path);
  file.fileName = cp1251::FromUtf8(p.filename().string());
  std::string bytes;
  switch (ReadWholeFile(path, static_cast<uint64_t>(maxSize), bytes)) {
    case TReadFailure::None: break;
    case TReadFailure::TooLarge:
      file.error = "Файл "_cp + file.fileName + " слишком велик: вложение может занимать не больше "_cp +
                   std::to_string(maxSize / 1024) + " Кб"_cp;
      return file;
    default:
      file.error = "Не удалось прочитать файл "_cp + file.fileName;
      return file;
  }
  std::string picture = GetImageMimeType(std::string_view(bytes).substr(0, 4));
  file.contentType = picture.empty() ? GetMimeTypeByExt(p.extension().string()) : picture;
  file.bytes = std::move(bytes);
  return file;
}
