// Feeds arbitrary bytes to the message file reader, as a damaged autosave or
// a file picked by hand reaches it: it may refuse them with its own errors,
// but nothing may crash, leak or hang. A message it reads holds only what
// the composer can show (a delivery time the calendar holds, no text longer
// than a message text), and written and read again it is the same message
// as the composer sees it (a line break is a line break, whether CR, LF or
// both). The seeds in corpus/smsfile are messages of the tests.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "corelimits.h"
#include "cp1251.h"
#include "datetime.h"
#include "exceptions.h"
#include "smsfile.h"

namespace {

constexpr std::string_view kTextKeys[] = {MsgKey::GateName, MsgKey::Phone, MsgKey::Message, MsgKey::Signature,
                                          MsgKey::TranslitTableName, MsgKey::Subject_Orig};
constexpr std::string_view kFlagKeys[] = {MsgKey::Delivery, MsgKey::Flash, MsgKey::Translit};
constexpr std::string_view kContentKeys[] = {ContentKey::ContentType, ContentKey::FileName};

// A text as the composer shows it: every line break one LF.
std::string Shown(const TPropList& list, std::string_view key) {
  std::string text = VarToStr(list.GetItemNamed(key)), out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i] == '\r' ? '\n' : text[i];
  }
  return out;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

// What the reader promises of every message it reads.
void CheckReadable(const TSMSFile& file) {
  const TSMS& m = file.Message;
  Check(IsValidDateTime(m.GetItemNamed(MsgKey::DeliveryTime).AsDate()));
  DateTimeToStr(m.GetItemNamed(MsgKey::DeliveryTime).AsDate());
  for (std::string_view key : kTextKeys) Check(Shown(m, key).size() <= kMaxMessageText);
  Check(file.MultiMedia.get() == m.MultiMedia());
}

bool SameMessage(const TSMSFile& a, const TSMSFile& b) {
  const TSMS &x = a.Message, &y = b.Message;
  if (x.IsMMS() != y.IsMMS()) return false;
  if (cp1251::SameText(VarToStr(x.GetItemNamed(MsgKey::MessageType)), "SMS") !=
      cp1251::SameText(VarToStr(y.GetItemNamed(MsgKey::MessageType)), "SMS"))
    return false;
  for (std::string_view key : kTextKeys)
    if (Shown(x, key) != Shown(y, key)) return false;
  for (std::string_view key : kFlagKeys)
    if (x.GetFlagNamed(key) != y.GetFlagNamed(key)) return false;
  if (DateTimeToUnix(x.GetItemNamed(MsgKey::DeliveryTime).AsDate()) !=
      DateTimeToUnix(y.GetItemNamed(MsgKey::DeliveryTime).AsDate()))
    return false;
  const TMMSContentData *p = x.MultiMedia(), *q = y.MultiMedia();
  if (!p || !q) return !p == !q;
  for (std::string_view key : kContentKeys)
    if (Shown(*p, key) != Shown(*q, key)) return false;
  return p->Stream()->Bytes() == q->Stream()->Bytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TSMSFile file;
  try {
    file.LoadFromBytes(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const Exception&) {  // not well-formed, entities declared, a text too long
    return 0;
  }
  CheckReadable(file);
  TSMSFile again;
  again.LoadFromBytes(file.SaveToBytes());
  CheckReadable(again);
  Check(SameMessage(file, again));
  return 0;
}
