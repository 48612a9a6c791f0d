// POST bodies byte for byte: the boundary, url-encoded fields, multipart
// parts with their header spellings, Finish and Clear.
#include "postdata.h"

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <set>
#include <string>

#include "cp1251.h"
#include "messages.h"
#include "values.h"

namespace {

const std::string kCRLF = "\r\n";

std::string Part(const std::string& boundary, const std::string& name, const std::string& value) {
  return "--" + boundary + kCRLF + "content-disposition: form-data; name=\"" + name + "\"" + kCRLF + kCRLF + value +
         kCRLF;
}

std::string Closing(const std::string& boundary) { return "--" + boundary + "--" + kCRLF; }

TEST(PostData, TheBoundaryIsEightHexDigitsOfARandomNumber) {
  const std::regex form("[0-9A-F]{8}_Parlomix_boundary");
  std::set<std::string> seen;
  for (int i = 0; i < 50; ++i) {
    TPostData body(true, "UTF-8");
    const std::string b = body.Boundary();
    ASSERT_EQ(b.size(), 26u);
    ASSERT_TRUE(std::regex_match(b, form)) << b;
    EXPECT_LE(std::stoul(b.substr(0, 8), nullptr, 16), 2147483646ul);
    seen.insert(b);
    body.SetMultiPart(false);
    body.Clear();
    EXPECT_EQ(body.Boundary(), b);  // fixed for the object's life
  }
  EXPECT_GT(seen.size(), 45u);
}

TEST(PostData, UrlEncodedFieldsAreEscapedAndJoined) {
  TPostData body(false, "windows-1251");
  body.Add("user", "Иван"_cp);
  EXPECT_EQ(body.GetText(), "user=%C8%E2%E0%ED");
  body.Clear();
  body.Add("a b", "1 2");
  body.Add("x&y", "p+q=r");
  EXPECT_EQ(body.GetText(), "a%20b=1%202&x%26y=p%2Bq%3Dr");
  // Finish changes nothing here, and file parts are multipart only.
  body.Finish();
  body.AddData("f", nullptr);
  EXPECT_EQ(body.GetText(), "a%20b=1%202&x%26y=p%2Bq%3Dr");
  // The value is converted before it is escaped; the name is not.
  TPostData utf8(false, "UTF-8");
  utf8.Add("Имя"_cp, "Я"_cp);
  EXPECT_EQ(utf8.GetText(), "%C8%EC%FF=%D0%AF");
}

TEST(PostData, MultipartTextPartsAreWrittenAsTheFormsExpect) {
  TPostData body(true, "UTF-8");
  const std::string b = body.Boundary();
  body.Add("a", "b");
  body.Add("name", "Привет"_cp);  // converted, not escaped
  EXPECT_EQ(body.GetText(), Part(b, "a", "b") + Part(b, "name", "Привет") + Closing(b));
}

TEST(PostData, FilePartsCarryTheAttachment) {
  TPostData body(true, "UTF-8");
  const std::string b = body.Boundary();
  auto content = std::make_shared<TMMSContentData>();
  content->SetItemNamed("FileName", Variant::String("фото 1.jpg"_cp));
  content->SetItemNamed("ContentType", Variant::String("image/jpeg"));
  content->SetStream(std::make_shared<TMemoryStream>(std::string("\xFF\xD8\xFF\xE0\0data", 9)));
  content->Stream()->SetPosition(5);  // read whole, wherever it stands
  body.AddData("file", content.get());
  body.AddData("empty", nullptr);
  TPropList bare;  // no entries: empty name, empty type, no bytes
  body.AddData("bare", &bare);
  const std::string expected =
      "--" + b + kCRLF + "Content-disposition: form-data; name=\"file\"; filename=\"%D1%84%D0%BE%D1%82%D0%BE%201.jpg\"" +
      kCRLF + "Content-Type: image/jpeg" + kCRLF + kCRLF + std::string("\xFF\xD8\xFF\xE0\0data", 9) + kCRLF + "--" + b +
      kCRLF + "Content-disposition: form-data; name=\"empty\"; filename=\"\"" + kCRLF + kCRLF + kCRLF + "--" + b +
      kCRLF + "Content-disposition: form-data; name=\"bare\"; filename=\"\"" + kCRLF + "Content-Type: " + kCRLF +
      kCRLF + kCRLF + Closing(b);
  EXPECT_EQ(body.GetText(), expected);
}

TEST(PostData, FinishWritesTheClosingBoundaryOnceUntilClear) {
  TPostData body(true, "");
  const std::string b = body.Boundary();
  EXPECT_FALSE(body.Finished());
  body.Add("a", "b");
  body.Finish();
  body.Finish();
  EXPECT_TRUE(body.Finished());
  EXPECT_EQ(body.GetText(), Part(b, "a", "b") + Closing(b));
  // Added after Finish: appended after the closing boundary.
  body.Add("late", "1");
  EXPECT_EQ(body.GetText(), Part(b, "a", "b") + Closing(b) + Part(b, "late", "1"));
  body.Clear();
  EXPECT_FALSE(body.Finished());
  EXPECT_TRUE(body.MultiPart());
  body.Finish();
  EXPECT_EQ(body.GetText(), Closing(b));
  body.SetMultiPart(false);
  EXPECT_FALSE(body.Finished());
  EXPECT_EQ(body.GetText(), "");
}

TEST(PostData, TheStreamIsHandedOutRewoundAndAppendsStayAtTheEnd) {
  TPostData body(false, "");
  body.AddRawData("raw=1");
  TMemoryStream& stream = body.GetStream();
  EXPECT_EQ(stream.Position(), 0);
  EXPECT_EQ(stream.Read(3), "raw");
  body.Add("b", "2");  // must not overwrite where the reader stopped
  EXPECT_EQ(body.GetText(), "raw=1&b=2");
  EXPECT_EQ(stream.Position(), stream.Size());
  body.AddRawData("&c");
  EXPECT_EQ(&body.GetStream(), &stream);
  EXPECT_EQ(stream.Bytes(), "raw=1&b=2&c");
}

TEST(PostData, AStreamAScriptStoredIsReadThroughItsHandle) {
  TPostData body(true, "");
  auto stream = std::make_unique<TMemoryStream>("bytes");
  TPropList content;
  content.SetItemNamed("Stream", ObjectToValue(stream.get()));
  body.AddData("f", &content);
  EXPECT_NE(body.GetText().find(kCRLF + kCRLF + "bytes" + kCRLF), std::string::npos);
  stream.reset();
  body.Clear();
  try {
    body.AddData("f", &content);
    FAIL() << "a freed stream was read";
  } catch (const Exception& e) {
    EXPECT_NE(e.Message().find("freed"), std::string::npos);
  }
}

}  // namespace
