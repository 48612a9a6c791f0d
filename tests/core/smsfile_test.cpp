#include "smsfile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "corelimits.h"
#include "cp1251.h"
#include "files.h"
#include "support/tempdir.h"
#include "xmldoc.h"

namespace {

std::string Str(const TPropList& list, std::string_view key) { return VarToStr(list.GetItemNamed(key)); }
bool Bool(const TPropList& list, std::string_view key) { return list.GetItemNamed(key).AsBoolean(); }

class SMSFileTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string path = dir.File("message.plmx");

  // Loads a hand-written document.
  std::unique_ptr<TSMS> Load(const std::string& xml) {
    dir.Write("message.plmx", xml);
    TSMSFile file;
    file.LoadFromFile(path);
    auto m = std::make_unique<TSMS>();
    m->Assign(&file.Message);
    return m;
  }
  std::string Saved(const TSMS& m) {
    TSMSFile file;
    file.SetMessage(m);
    file.SaveToFile(path);
    return dir.Read("message.plmx");
  }
};

TEST_F(SMSFileTest, AnSMSComesBackAsItWasSaved) {
  TSMS m;
  const TDateTime when = EncodeDate(2009, 5, 17) + EncodeTime(14, 30, 59);
  m.SetItemNamed(MsgKey::MessageType, Variant::String("SMS"));
  m.SetItemNamed(MsgKey::GateName, Variant::String("МТС"_cp));
  m.SetItemNamed(MsgKey::Phone, Variant::String("79161234567"));
  m.SetItemNamed(MsgKey::Message, Variant::String("Привет & <до> \"встречи\" 'завтра'\r\nвторая строка\r\n"_cp));
  m.SetItemNamed(MsgKey::Signature, Variant::String("Вася"_cp));
  m.SetItemNamed(MsgKey::Delivery, Variant::Boolean(true));
  m.SetItemNamed(MsgKey::DeliveryTime, Variant::Date(when));
  m.SetItemNamed(MsgKey::Flash, Variant::Boolean(false));
  m.SetItemNamed(MsgKey::Translit, Variant::Boolean(true));
  m.SetItemNamed(MsgKey::TranslitTableName, Variant::String("ГОСТ"_cp));
  const std::string xml = Saved(m);

  EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
  EXPECT_NE(xml.find("Привет &amp; &lt;до&gt; &quot;встречи&quot; &apos;завтра&apos;"), std::string::npos);
  EXPECT_NE(xml.find("<delivery>-1</delivery>"), std::string::npos);
  EXPECT_NE(xml.find("<flash>0</flash>"), std::string::npos);
  EXPECT_NE(xml.find("<deliverytime>" + std::to_string(DateTimeToUnix(when)) + "</deliverytime>"), std::string::npos);
  EXPECT_EQ(xml.find("<subject>"), std::string::npos);
  size_t last = 0;
  for (const char* tag : {"<message type=\"SMS\">", "<gate>", "<to>", "<text>", "<signature>", "<delivery>",
                          "<deliverytime>", "<flash>", "<translit>", "<translit_table>", "</message>"}) {
    size_t at = xml.find(tag);
    ASSERT_NE(at, std::string::npos) << tag;
    EXPECT_GT(at, last) << tag;
    last = at;
  }

  auto loadedBack = Load(xml);
  TSMS& back = *loadedBack;
  for (std::string_view key : {MsgKey::MessageType, MsgKey::GateName, MsgKey::Phone, MsgKey::Message,
                               MsgKey::Signature, MsgKey::TranslitTableName})
    EXPECT_EQ(Str(back, key), Str(m, key)) << key;
  EXPECT_TRUE(Bool(back, MsgKey::Delivery));
  EXPECT_FALSE(Bool(back, MsgKey::Flash));
  EXPECT_TRUE(Bool(back, MsgKey::Translit));
  EXPECT_EQ(DateTimeToUnix(back.GetItemNamed(MsgKey::DeliveryTime).AsDate()), DateTimeToUnix(when));
  EXPECT_FALSE(back.Exists(MsgKey::Subject_Orig));
}

TEST_F(SMSFileTest, AnMMSCarriesItsAttachmentPastTheFileObject) {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  auto stream = std::make_shared<TMemoryStream>(bytes);
  stream->SetPosition(10);
  auto content = std::make_shared<TMMSContentData>();
  content->SetItemNamed(ContentKey::ContentType, Variant::String("image/gif"));
  content->SetItemNamed(ContentKey::FileName, Variant::String("кот.gif"_cp));
  content->SetStream(stream);
  TMMS m;
  m.SetItemNamed(MsgKey::MessageType, Variant::String("mms"));
  m.SetItemNamed(MsgKey::Subject_Orig, Variant::String("Тема & <b>"_cp));
  m.SetMultiMedia(content);
  std::string xml = Saved(m);
  EXPECT_EQ(stream->Position(), 0);
  EXPECT_NE(xml.find("<data>000102"), std::string::npos);
  EXPECT_NE(xml.find("FAFBFCFDFEFF</data>"), std::string::npos);
  EXPECT_LT(xml.find("<subject>"), xml.find("<multimedialist>"));

  TSMS copy;
  std::weak_ptr<TMMSContentData> loaded;
  {
    TSMSFile file;
    file.LoadFromFile(path);
    ASSERT_NE(file.MultiMedia, nullptr);
    EXPECT_EQ(file.Message.MultiMedia(), file.MultiMedia.get());
    loaded = file.MultiMedia;
    copy.Assign(&file.Message);
  }
  ASSERT_FALSE(loaded.expired());
  EXPECT_EQ(Str(copy, MsgKey::Subject_Orig), "Тема & <b>"_cp);
  EXPECT_FALSE(copy.Exists(MsgKey::Subject));
  TMMSContentData* back = copy.MultiMedia();
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(Str(*back, ContentKey::ContentType), "image/gif");
  EXPECT_EQ(Str(*back, ContentKey::FileName), "кот.gif"_cp);
  ASSERT_NE(back->Stream(), nullptr);
  EXPECT_EQ(back->Stream()->Bytes(), bytes);
  EXPECT_EQ(back->Stream()->Position(), 0);
}

TEST_F(SMSFileTest, AnAttachmentIsWrittenOnlyForAnMMSWithAStream) {
  TSMS m;
  m.SetItemNamed(MsgKey::MessageType, Variant::String("MMS"));
  std::string xml = Saved(m);
  EXPECT_NE(xml.find("<subject></subject>"), std::string::npos);
  EXPECT_EQ(xml.find("multimedialist"), std::string::npos);

  auto noStream = std::make_shared<TMMSContentData>();
  noStream->SetItemNamed(ContentKey::FileName, Variant::String("a.gif"));
  m.SetMultiMedia(noStream);
  EXPECT_EQ(Saved(m).find("multimedialist"), std::string::npos);

  auto content = std::make_shared<TMMSContentData>();
  content->SetStream(std::make_shared<TMemoryStream>("x"));
  m.SetMultiMedia(content);
  m.SetItemNamed(MsgKey::MessageType, Variant::String("SMS"));
  xml = Saved(m);
  EXPECT_EQ(xml.find("multimedialist"), std::string::npos);
  EXPECT_EQ(xml.find("subject"), std::string::npos);
}

TEST_F(SMSFileTest, MissingAndMalformedValuesWriteAndReadAsDefaults) {
  TSMS m;
  m.SetItemNamed(MsgKey::Delivery, Variant::String("yes"));
  m.SetItemNamed(MsgKey::DeliveryTime, Variant::String("not a date"));
  m.SetItemNamed(MsgKey::Message, Variant::String(std::string("a\x01" "b\tc\x1f", 6)));
  std::string xml = Saved(m);
  EXPECT_NE(xml.find("<message type=\"\">"), std::string::npos);
  EXPECT_NE(xml.find("<gate></gate>"), std::string::npos);
  EXPECT_NE(xml.find("<delivery>0</delivery>"), std::string::npos);
  // Date-time 0 (1899-12-30) in Unix seconds, as for a missing time.
  EXPECT_NE(xml.find("<deliverytime>-2209161600</deliverytime>"), std::string::npos);
  TSMS none;
  EXPECT_NE(Saved(none).find("<deliverytime>-2209161600</deliverytime>"), std::string::npos);
  EXPECT_EQ(Str(*Load(xml), MsgKey::Message), "ab\tc");

  auto loaded = Load("<message><delivery>yes</delivery><flash>TRUE</flash><translit>1</translit>"
                   "<deliverytime>12ab</deliverytime></message>");
  TSMS& back = *loaded;
  EXPECT_EQ(Str(back, MsgKey::MessageType), "SMS");
  EXPECT_FALSE(Bool(back, MsgKey::Delivery));
  EXPECT_TRUE(Bool(back, MsgKey::Flash));
  EXPECT_TRUE(Bool(back, MsgKey::Translit));
  EXPECT_EQ(back.GetItemNamed(MsgKey::DeliveryTime).AsDate(), kUnixDateDelta);
  EXPECT_EQ(Str(back, MsgKey::GateName), "");
  EXPECT_EQ(back.Count(), 10);

  // Seconds beyond the calendar (year 10000, before year 1, past 64 bits)
  // read as 0 like any other unusable time; its first and last seconds read.
  auto timeOf = [&](const std::string& seconds) {
    return Load("<message><deliverytime>" + seconds + "</deliverytime></message>")->GetItemNamed(MsgKey::DeliveryTime).AsDate();
  };
  for (const char* beyond : {"253402300800", "-62135596801", "9223372036854775807", "-9223372036854775808",
                             "99999999999999999999"})
    EXPECT_EQ(timeOf(beyond), kUnixDateDelta) << beyond;
  EXPECT_EQ(DateTimeToStr(timeOf("253402300799")), "31.12.9999 23:59:59");
  EXPECT_EQ(DateTimeToStr(timeOf("-62135596800")), "01.01.0001");
}

TEST_F(SMSFileTest, HandWrittenFilesAreReadTheForgivingWay) {
  auto loaded = Load(
      "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n"_cp
      "<message type=\"MMS\"><text>Line&#13;\nnext\nthird &#1071; &amp;&lt;</text><subject>Тема</subject>"_cp
      "<multimedialist><multimedia><filename>first</filename><data>4a4BzZ7</data></multimedia>"
      "<multimedia><filename>second</filename><data>00</data></multimedia></multimedialist></message>");
  TSMS& m = *loaded;
  EXPECT_EQ(Str(m, MsgKey::Message), "Line\r\nnext\r\nthird Я &<"_cp);
  EXPECT_EQ(Str(m, MsgKey::Subject_Orig), "Тема"_cp);
  ASSERT_NE(m.MultiMedia(), nullptr);
  EXPECT_EQ(Str(*m.MultiMedia(), ContentKey::FileName), "first");
  EXPECT_EQ(m.MultiMedia()->Stream()->Bytes(), std::string("\x4A\x4B\x00", 3));

  auto empty = Load("<message type=\"MMS\"><multimedialist/></message>");
  EXPECT_EQ(empty->MultiMedia(), nullptr);
}

TEST_F(SMSFileTest, HostileFilesAreRefusedAndLeaveTheMessageAlone) {
  TSMSFile file;
  file.Message.SetItemNamed(MsgKey::Text, Variant::String("kept"));
  auto refused = [&](const std::string& content, const char* what) {
    dir.Write("bad.plmx", content);
    auto start = std::chrono::steady_clock::now();
    std::string message;
    try {
      file.LoadFromFile(dir.File("bad.plmx"));
      ADD_FAILURE() << what << " was read";
    } catch (const Exception& e) {
      message = e.Message();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << what;
    EXPECT_EQ(Str(file.Message, MsgKey::Text), "kept") << what;
    return message;
  };
  refused("this is not XML", "text");
  refused("", "empty");
  refused("<message><to>1</message>", "unbalanced");
  std::string bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE message [\n<!ENTITY a0 \"ha\">\n";
  for (int i = 1; i < 30; ++i)
    bomb += "<!ENTITY a" + std::to_string(i) + " \"&a" + std::to_string(i - 1) + ";&a" + std::to_string(i - 1) + ";\">\n";
  bomb += "]>\n<message><text>&a29;</text></message>";
  const std::string kRefusal = "Entity declarations are not accepted";
  EXPECT_EQ(refused(bomb, "entity bomb"), kRefusal);
  EXPECT_EQ(refused("<!DOCTYPE m [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><message><text>&x;</text></message>",
                    "external entity"),
            kRefusal);
  EXPECT_NE(refused("<message><text>&undeclared;</text></message>", "undeclared entity").find("undeclared"),
            std::string::npos);
  // A byte the declared encoding has no character for is refused quietly:
  // libxml2 would write every such failure to the session's log.
  testing::internal::CaptureStderr();
  refused("<?xml version=\"1.0\" encoding=\"windows-1251\"?><message><text>\x98</text></message>", "bad byte");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  EXPECT_THROW(file.LoadFromFile(dir.File("missing.plmx")), EFileError);
  std::string big = dir.Write("big.plmx", "<message><text>");
  std::filesystem::resize_file(big, (64u << 20) + 1);
  EXPECT_THROW(file.LoadFromFile(big), EFileError);
  EXPECT_EQ(Str(file.Message, MsgKey::Text), "kept");

  // No text may be longer than a message text, measured as the composer
  // holds it: a line break is one character.
  std::string longest(kMaxMessageText - 1000, 'x');
  for (int i = 0; i < 1000; ++i) longest += "\r\n";
  EXPECT_EQ(Str(*Load("<message><text>" + longest + "</text></message>"), MsgKey::Message), longest);
  for (const char* element : {"text", "signature", "to"}) {
    std::string tag = element;
    refused("<message><" + tag + ">" + longest + "y</" + tag + "></message>", element);
  }
}

TEST_F(SMSFileTest, AnAttachmentOverTenMegabytesOfHexStillReads) {
  // Character references split the text into pieces that the parser joins,
  // and the join is where libxml2 applies its usual 10 MB cap.
  std::string hex;
  for (int i = 0; i < 12; ++i) hex += std::string(1u << 20, 'A') + "&#65;A";
  auto loaded = Load("<message type=\"MMS\"><multimedialist><multimedia><data>" + hex +
                     "</data></multimedia></multimedialist></message>");
  TSMS& m = *loaded;
  ASSERT_NE(m.MultiMedia(), nullptr);
  EXPECT_EQ(m.MultiMedia()->Stream()->Size(), (6 << 20) + 12);
  EXPECT_EQ(m.MultiMedia()->Stream()->Bytes()[123], '\xAA');
}

TEST_F(SMSFileTest, SavingReplacesTheWholeFileOrNothing) {
  dir.Write("message.plmx", std::string(100000, '#'));
  TSMS m;
  m.SetItemNamed(MsgKey::MessageType, Variant::String("SMS"));
  EXPECT_EQ(Saved(m).find('#'), std::string::npos);
  TSMSFile file;
  EXPECT_THROW(file.SaveToFile(dir.File("no/folder/m.plmx")), EFileError);
}

}  // namespace
