// Message files (*.plmx and the autosaved message): one SMS or MMS with at
// most one attachment as a small UTF-8 XML document.
#pragma once

#include <memory>
#include <string>

#include "messages.h"

class TSMSFile : public TObject {
  PX_CLASS(TSMSFile, TObject)
 public:
  // The message saved or read.
  TSMS Message;
  // The attachment the last load made; shared with Message (and with every
  // copy of Message made by Assign), so it outlives this file object.
  std::shared_ptr<TMMSContentData> MultiMedia;

  // Message becomes a copy of `msg` (same entries, attachment shared).
  void SetMessage(const TSMS& msg) { Message.Assign(&msg); }

  // Writes Message to `fileName`. The file is replaced only once the whole
  // document is on disk, so a failure leaves the old file as it was. Raises
  // EFileError.
  void SaveToFile(const std::string& fileName) const;
  // The document SaveToFile writes.
  std::string SaveToBytes() const;

  // Replaces Message with the file's message. A file that is missing,
  // unreadable or larger than the cap, or holds a text longer than a message
  // text may be, raises EFileError; one that is not well-formed XML, or
  // declares entities, raises EXmlError. A delivery time that is no date the
  // calendar holds reads as 0 seconds, like one that is no number. On failure
  // Message and MultiMedia keep what they held.
  void LoadFromFile(const std::string& fileName);
  // The same for the bytes of a message file.
  void LoadFromBytes(std::string bytes);
};
