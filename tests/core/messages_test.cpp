#include <gtest/gtest.h>

#include <memory>

#include "messages.h"

namespace {

std::shared_ptr<TMMSContentData> Attachment(const std::string& bytes, std::weak_ptr<TMemoryStream>* watch = nullptr) {
  auto stream = std::make_shared<TMemoryStream>(bytes);
  if (watch) *watch = stream;
  auto content = std::make_shared<TMMSContentData>();
  content->SetItemNamed(ContentKey::FileName, Variant::String("a.gif"));
  content->SetStream(stream);
  return content;
}

TEST(MemoryStream, WritesOverAndPastTheEndAndReadsFromThePosition) {
  TMemoryStream s("abcdef");
  s.SetPosition(4);
  s.Write("XYZ");
  EXPECT_EQ(s.Bytes(), "abcdXYZ");
  EXPECT_EQ(s.Position(), 7);
  s.SetPosition(-5);
  EXPECT_EQ(s.Position(), 0);
  EXPECT_EQ(s.Read(2), "ab");
  EXPECT_EQ(s.Read(100), "cdXYZ");
  EXPECT_EQ(s.Read(1), "");
  s.SetPosition(100);
  EXPECT_EQ(s.Position(), 7);
  s.SetBytes("q");
  EXPECT_EQ(s.Position(), 0);
  EXPECT_EQ(s.Size(), 1);
}

// Composer, file, dispatcher and after-send handler let go of one attachment
// in every order; the bytes stay readable while any holder lives and go with
// the last one.
TEST(MessageAttachment, LivesWhileAnyHolderDoesInEveryOrder) {
  for (int order = 0; order < 6; ++order) {
    std::weak_ptr<TMemoryStream> watch;
    auto composer = Attachment("GIF89a", &watch);
    auto message = std::make_unique<TMMS>();
    message->SetItemNamed(MsgKey::MessageType, Variant::String("MMS"));
    message->SetMultiMedia(composer);
    auto copy = std::make_unique<TSMS>();
    copy->Assign(message.get());

    auto check = [&](TSMS* m) {
      if (!m) return;
      ASSERT_NE(m->MultiMedia(), nullptr);
      ASSERT_NE(m->MultiMedia()->Stream(), nullptr);
      EXPECT_EQ(m->MultiMedia()->Stream()->Bytes(), "GIF89a");
    };
    const int drops[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    for (int d : drops[order]) {
      if (d == 0) composer.reset();
      if (d == 1) message.reset();
      if (d == 2) copy.reset();
      check(message.get());
      check(copy.get());
      EXPECT_EQ(watch.expired(), !composer && !message && !copy);
    }
  }
}

TEST(MessageAttachment, AnEntryPointedElsewhereIsNoLongerReportedAsShared) {
  auto content = Attachment("x");
  TMemoryStream other("y");
  EXPECT_NE(content->SharedStream(), nullptr);
  content->SetObjectNamed(ContentKey::Stream, &other);
  EXPECT_EQ(content->SharedStream(), nullptr);
  EXPECT_EQ(content->Stream(), &other);
  content->SetItemNamed(ContentKey::Stream, Variant::Integer(1));
  EXPECT_EQ(content->Stream(), nullptr);
}

TEST(MessageAttachment, ReplacingAssigningOrClearingLetsTheOldOneGo) {
  std::weak_ptr<TMemoryStream> first, second;
  TSMS message;
  message.SetMultiMedia(Attachment("1", &first));
  message.SetMultiMedia(Attachment("2", &second));
  EXPECT_TRUE(first.expired());
  EXPECT_FALSE(second.expired());

  TPropList plain;
  plain.SetItemNamed(MsgKey::Text, Variant::String("t"));
  message.Assign(&plain);
  EXPECT_TRUE(second.expired());
  EXPECT_EQ(message.MultiMedia(), nullptr);
  EXPECT_EQ(VarToStr(message.GetItemNamed(MsgKey::Text)), "t");

  message.SetMultiMedia(Attachment("3", &first));
  message.Assign(&message);
  EXPECT_FALSE(first.expired());
  message.Clear();
  EXPECT_TRUE(first.expired());
  EXPECT_EQ(message.Count(), 0);
}

TEST(Message, KindAndAttachmentAreReadFromTheEntries) {
  TSMS m;
  EXPECT_FALSE(m.IsMMS());
  m.SetItemNamed("messagetype", Variant::String("mMs"));
  EXPECT_TRUE(m.IsMMS());
  m.SetItemNamed(MsgKey::MultiMedia, Variant::String("not an object"));
  EXPECT_EQ(m.MultiMedia(), nullptr);
  TMemoryStream notContent;
  m.SetObjectNamed(MsgKey::MultiMedia, &notContent);
  EXPECT_EQ(m.MultiMedia(), nullptr);
  EXPECT_TRUE(TMMS().InheritsFrom(TPropList::StaticClass()));
}

}  // namespace
