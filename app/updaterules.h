// The plain rules of the update checks: reading an update description,
// deciding what a check found, naming the downloaded file, when an automatic
// check is due, and what of a description a window may show.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "datetime.h"

// What the program checks for; the kind of a TUpdate and of its result.
enum TUpdateKind : uint8_t { ukProgram = 0, ukGates = 1 };

// The outcome of a check, as its result reports it.
enum TUpdateCode : uint8_t {
  ucDone = 0,       // file downloaded and the gate package imported
  ucCancelled = 1,  // the user declined the new version or cancelled the download
  ucAvailable = 2,  // a newer version or gate list is there
  ucUpToDate = 3,
  ucError = 4,      // the message says which
};

// An update description as the server states it; texts Windows-1251.
struct TUpdateInfo {
  std::string Version;
  int64_t Build = 0;  // for the program: the last part of Version
  std::string WhatsNew;
  int64_t MinBuild = 0;
  TDateTime UpdateDate = 0;
  std::string Url;       // the download page
  std::string Download;  // the file to download
};

// The texts the checks report.
inline constexpr const char* kInfoDownloadError = "Ошибка загрузки информации о новой версии";
inline constexpr const char* kDownloadError = "Ошибка загрузки обновления";
inline constexpr const char* kNeedNewerProgram = "Требуется новая версия Parlomix. Обновите версию";

// Reads a description: the texts of the root element's children `version`,
// `download`, `updatedate`, `minbuild`, `url` and `whatsnew` (a missing one
// reads as empty, a number that does not parse as 0). Nothing when the bytes
// are not XML (a captive portal's page), name no version or are larger than
// the cap; the parser fetches nothing and expands no entity.
std::optional<TUpdateInfo> ParseUpdateInfo(std::string_view bytes);

// The build number a program version names: the whole number after its last
// "." (the whole text when there is none); 0 when that is no number.
int64_t VersionBuild(std::string_view version);

// What a successful description download means for the installed program
// build and gate-list version.
struct TUpdateDecision {
  TUpdateCode Code = ucUpToDate;
  std::string Message;   // Windows-1251, for code 4
  bool Download = false;  // a newer gate list is to be fetched
};
TUpdateDecision DecideUpdate(TUpdateKind kind, const TUpdateInfo& info, int64_t programBuild, int64_t gatesVersion);

// The name a download is stored under in the download folder: the part of
// the address after its last "/", "\" or "&", made safe to be a file name
// there (no control characters, no "..", no leading dot, at most
// kMaxDownloadFileName bytes, keeping the end). Empty when nothing usable
// is left, and then nothing is downloaded.
std::string DownloadFileName(std::string_view address);

// True for an http or https address (any letter case): the only kind an
// update may be fetched from or a download page opened at.
bool IsWebAddress(std::string_view address);

// Whether an automatic check is due: it never ran (last is 0), or today is
// not earlier than the day of the last check plus the period in days.
bool IsUpdateDue(TDateTime last, int32_t periodDays, TDateTime today);

// What is new as rich text a label can show: CR LF (and a lone LF or CR)
// becomes "<br>"; the tags b, i, u, em, strong, p, br, ul, ol and li
// without attributes stay; every other "<", ">" and "&" is shown as itself,
// so that the text can neither load nor link anything.
std::string WhatsNewRichText(std::string_view text);
