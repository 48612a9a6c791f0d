// Messages: an SMS or MMS is a property list under fixed key names, built by
// the composer or the message-file reader, completed by the send dispatcher
// and read by the gate scripts. An MMS attachment is a TMMSContentData whose
// bytes are a TMemoryStream.
//
// Who owns an attachment: property lists never own what their entries refer
// to, yet the composer, a message file, the dispatcher and the after-send
// handler each hold the same attachment and let go of it in no fixed order.
// So the one rule is: an attachment (the content item and its stream) is
// owned jointly, through std::shared_ptr, by every message list and content
// item that was given it with SetShared (or SetMultiMedia / SetStream) and by
// every copy made of them with Assign. It lives while any of them does.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "memorystream.h"
#include "proplist.h"

// Key names of a message.
namespace MsgKey {
inline constexpr std::string_view MessageType = "MessageType";  // "SMS" or "MMS"
inline constexpr std::string_view Phone = "Phone";              // digits only
inline constexpr std::string_view GateName = "GateName";
inline constexpr std::string_view Text = "Text";        // what is sent: text, signature, transliterated
inline constexpr std::string_view Message = "Message";  // the text as typed
inline constexpr std::string_view Signature = "Signature";
inline constexpr std::string_view Delivery = "Delivery";  // delivery at a chosen time
inline constexpr std::string_view DeliveryTime = "DeliveryTime";
inline constexpr std::string_view Flash = "Flash";
inline constexpr std::string_view Translit = "Translit";
inline constexpr std::string_view TranslitTableName = "TranslitTableName";
inline constexpr std::string_view Subject = "Subject";            // as sent
inline constexpr std::string_view Subject_Orig = "Subject_Orig";  // as typed
inline constexpr std::string_view MultiMedia = "MultiMedia";      // object: TMMSContentData
// Added by the send.
inline constexpr std::string_view PhoneFormat = "PhoneFormat";
inline constexpr std::string_view Phone_Format = "Phone_Format";
inline constexpr std::string_view Phone_Tag = "Phone_Tag";
inline constexpr std::string_view Phone_Country = "Phone_Country";
inline constexpr std::string_view Phone_DEF = "Phone_DEF";
inline constexpr std::string_view Phone_Number = "Phone_Number";
inline constexpr std::string_view MaxSymbols = "MaxSymbols";
inline constexpr std::string_view LeaveSymbols = "LeaveSymbols";
inline constexpr std::string_view Code = "Code";  // the captcha answer
}  // namespace MsgKey

// Key names of an attachment.
namespace ContentKey {
inline constexpr std::string_view FileName = "FileName";
inline constexpr std::string_view ContentType = "ContentType";  // MIME type
inline constexpr std::string_view Type = "Type";                // TMultimediaType
inline constexpr std::string_view ImageDimension = "ImageDimension";  // "WxH"
inline constexpr std::string_view Stream = "Stream";  // object: TMemoryStream
}  // namespace ContentKey

inline constexpr std::string_view kMessageTypeSMS = "SMS";
inline constexpr std::string_view kMessageTypeMMS = "MMS";

enum TMultimediaType : int { mtUnknown = 0, mtImage = 1, mtAudio = 2 };

// A property list that shares the ownership of the objects it was given
// through SetShared (see the rule at the top of this file).
class TSharedPropList : public TPropList {
  PX_CLASS(TSharedPropList, TPropList)
 public:
  // Sets the object entry `name` to `obj` and keeps `obj` alive with this
  // list; the object this list kept under that name before is let go.
  void SetShared(std::string_view name, std::shared_ptr<TObject> obj);
  // The owner of the object entry `name`, when this list keeps the object the
  // entry refers to now; nullptr otherwise (also after the entry was pointed
  // elsewhere by a plain SetObjectNamed).
  std::shared_ptr<TObject> Shared(std::string_view name) const;

  // Copies the entries as a property list does and, from a TSharedPropList,
  // shares what the source keeps as well; what this list kept is let go.
  void Assign(const TPersistent* source) override;
  // Empties the list and lets go of everything it kept.
  void Clear();

 private:
  std::vector<std::pair<std::string, std::shared_ptr<TObject>>> kept_;
};

// One MMS attachment.
class TMMSContentData : public TSharedPropList {
  PX_CLASS(TMMSContentData, TSharedPropList)
 public:
  // The attachment's bytes; nullptr when the entry holds no stream.
  TMemoryStream* Stream() const;
  std::shared_ptr<TMemoryStream> SharedStream() const;
  void SetStream(std::shared_ptr<TMemoryStream> stream) { SetShared(ContentKey::Stream, std::move(stream)); }
};

class TSMS : public TSharedPropList {
  PX_CLASS(TSMS, TSharedPropList)
 public:
  // True when MessageType is "MMS" in any letter case.
  bool IsMMS() const;
  // The attachment; nullptr when the entry holds none.
  TMMSContentData* MultiMedia() const;
  std::shared_ptr<TMMSContentData> SharedMultiMedia() const;
  void SetMultiMedia(std::shared_ptr<TMMSContentData> content) { SetShared(MsgKey::MultiMedia, std::move(content)); }
};

class TMMS : public TSMS {
  PX_CLASS(TMMS, TSMS)
};
