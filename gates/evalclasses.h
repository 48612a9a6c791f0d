// The page text and the HTTP options that gate scripts work on, bound by
// the gate runner as `Html` and `HTTP` (the POST body and the captcha
// picture have files of their own: postdata.h, imageproccess.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "proplist.h"

// The text of the last page loaded; the runner sets Text after each load.
// Positions are 1-based, 0 meaning "not found", as in textutils.h.
class TText : public TObject {
  PX_CLASS(TText, TObject)
 public:
  std::string Text;

  // Pos(s) > 0.
  bool ExistsStr(std::string_view s) const { return Pos(s) > 0; }
  // Group `index` (0 = whole match) of the first match of `pattern`; empty
  // when nothing matches (see RegExp in regexp.h, whose errors it raises).
  std::string RegExp(std::string_view pattern, int index) const;
  int64_t Pos(std::string_view s) const { return PosEx(s, 1); }
  // The first s at or after `offset`.
  int64_t PosEx(std::string_view s, int64_t offset) const;
  int64_t LastPos(std::string_view s) const { return LastPosEx(s, 1); }
  // The last s that ends at or before character Length(Text) - offset + 1.
  int64_t LastPosEx(std::string_view s, int64_t offset) const;
  // The text after the first startStr up to the next endStr (empty
  // delimiters: the start, the end); empty when one is missing.
  std::string StrBetween(std::string_view startStr, std::string_view endStr) const;
  // The text between the first endStr and the nearest startStr before it.
  std::string StrBetweenRev(std::string_view startStr, std::string_view endStr) const;
};

// The scripts' HTTP client: request options a script sets before it calls
// HTTPMethod, and, as its own property-list entries, what the runner writes
// after each gate request ("URL" and one entry per response header).
class THTTPClient : public TPropList {
  PX_CLASS(THTTPClient, TPropList)
 public:
  // Performs a script's request; installed by the gate runner. Whatever it
  // raises reaches the script and ends it with a script error.
  using TRequestHandler =
      std::function<void(THTTPClient& client, const std::string& method, const std::string& url)>;
  TRequestHandler RequestHandler;

  TPropList Headers;           // extra request headers, name to value
  std::string CustomMime;      // content type of a script POST instead of the body's own
  bool HandleRedirects = true;
  std::string CustomUserAgent;
  bool DontLoadResult = false;  // a script request leaves the page text as it was
  std::string Referer;
  std::string Protocol;        // HTTP version the init step takes over

  // Calls RequestHandler with this client; nothing when none is installed.
  void HTTPMethod(const std::string& method, const std::string& url);
};

// The object entry `name` of `list` refers to, whoever stored it; interpreter
// error 2 once that object has been freed. nullptr for a missing entry, nil
// and any other value.
TObject* EntryObject(const TPropList& list, std::string_view name);
// The same for the entry at `index` (EListError outside the list).
TObject* EntryObjectAt(const TPropList& list, int index);
