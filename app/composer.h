// The composer's rules without its widgets: what a gate allows, the text
// that is sent and how it is counted, whether a message may go and what the
// status bar says about it, and the checks of an attachment. The main window
// hands in what its controls hold.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class TGate;

// What the composer reads of a gate's information values. A value that is
// missing or no number reads as 0 or false.
struct TGateLimits {
  std::string Name;
  std::string Type;  // "SMS" or "MMS"
  bool SupportUnicode = false;
  bool SupportDTDelivery = false;
  bool SupportFlash = false;
  bool SupportMultiMedia = false;
  bool SupportAudio = false;
  bool SupportImage = false;
  bool SendWOMultimedia = false;
  int64_t MaxSymbols = 0;
  int64_t MaxUnicodeSymbols = 0;
  int64_t MaxSubjectSymbols = 0;
  int64_t MaxMultimediaSize = 0;

  static TGateLimits Of(const TGate& gate);
};

// The memo with the signature added: nothing for an empty signature; else
// the delimiter option with each backslash-n made a line break, and the
// signature put where the delimiter says backslash-s, or after it.
std::string JoinSignature(std::string_view memo, std::string_view signature, std::string_view delimiterOption);

// How many more symbols the gate takes (negative when over): 0 without a
// gate. Symbols are the bytes of the Windows-1251 text, a line break two.
// Plain ASCII counts against MaxSymbols; other text against
// MaxUnicodeSymbols where the gate supports Unicode, else MaxSymbols.
int64_t SymbolsLeft(const TGateLimits* gate, std::string_view finalText);

// "Введено N символов, осталось M".
std::string SymbolCounterText(int64_t length, int64_t left);

// False only for an MMS whose subject, as typed, is longer than the gate
// allows.
bool IsSubjectValid(bool mms, const TGateLimits* gate, std::string_view subject);

// Why the attachment cannot go with an MMS through the gate, in the order
// the checks run; empty when it can, and for anything but an MMS with a gate
// and an attachment.
std::string MultimediaError(bool mms, const TGateLimits* gate, bool hasAttachment, int64_t size, int type);

// What the composer holds, for the send decision.
struct TComposerState {
  bool recipientEmpty = true;
  const TGateLimits* gate = nullptr;  // the selected gate, or none
  bool mms = false;
  bool memoEmpty = true;
  std::string subject;    // as typed
  std::string finalText;  // what would be sent
  bool translitEnabled = true;  // the box is off limits for a gate without Unicode
  std::string mediaError;       // MultimediaError
};

struct TReadiness {
  bool canSend = false;
  std::string status;  // the first text that applies, for status panel 0
};

// Whether the message may be sent, and the status text. A gate without
// Unicode takes only ASCII: what transliteration left over keeps the send
// off even while the status reads ready.
TReadiness EvaluateReadiness(const TComposerState& state);

// TMultimediaType of a content type: "image" in it is a picture, "audio" or
// "smaf" a sound, anything else unknown (case ignored).
int MultimediaTypeOf(std::string_view contentType);
// "Размер: 1.50 Кб".
std::string MultimediaSizeText(int64_t size);
// "Разрешение: 640x480".
std::string MultimediaDimensionText(std::string_view dimension);
// The file dialog filter of "&Добавить".
std::string_view MultimediaFileFilter();

// A file read for an attachment: its bytes, name without folder and MIME
// type, or the reason it cannot be attached.
struct TAttachmentFile {
  std::string bytes;
  std::string fileName;
  std::string contentType;
  std::string error;  // empty when the file was read
};

// Reads a whole file of at most `maxSize` bytes. The type comes from the
// extension, except for a picture, whose own bytes say what it is. A file
// that cannot be read or is larger gives the reason and no bytes.
TAttachmentFile ReadAttachment(const std::string& path, int64_t maxSize);
