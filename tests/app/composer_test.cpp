// The composer's rules without a window: the text that is sent and how it is
// counted, whether a message may go and what the status bar says, and the
// checks of an attachment.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "composer.h"
#include "cp1251.h"
#include "support/tempdir.h"

namespace {

TGateLimits Gate(bool unicode, int64_t maxSymbols, int64_t maxUnicode) {
  TGateLimits gate;
  gate.Name = "G";
  gate.Type = "SMS";
  gate.SupportUnicode = unicode;
  gate.MaxSymbols = maxSymbols;
  gate.MaxUnicodeSymbols = maxUnicode;
  gate.MaxSubjectSymbols = 10;
  return gate;
}

TEST(FinalText, EveryDelimiterForm) {
  std::string memo = "Привет"_cp, vasya = "Вася"_cp;
  EXPECT_EQ(JoinSignature(memo, vasya, " \\s!"), memo + " " + vasya + "!");
  EXPECT_EQ(JoinSignature(memo, vasya, "\\n"), memo + "\r\n" + vasya);
  EXPECT_EQ(JoinSignature(memo, vasya, ""), memo + vasya);
  EXPECT_EQ(JoinSignature(memo, vasya, "--"), memo + "--" + vasya);
  EXPECT_EQ(JoinSignature(memo, vasya, "\\n-- \\n"), memo + "\r\n-- \r\n" + vasya);
  EXPECT_EQ(JoinSignature(memo, vasya, "[\\s|\\s]"), memo + "[" + vasya + "|" + vasya + "]");
  EXPECT_EQ(JoinSignature(memo, vasya, "\\n(\\s)\\n"), memo + "\r\n(" + vasya + ")\r\n");
  EXPECT_EQ(JoinSignature(memo, "", " \\s!"), memo) << "no signature, no delimiter";
  // A signature that holds the placeholder itself stays as typed.
  EXPECT_EQ(JoinSignature("m", "a\\sb", "<\\s>"), "m<a\\sb>");
  EXPECT_EQ(JoinSignature("", "x", "\\n"), "\r\nx");
}

TEST(Counter, AsciiAndCyrillicAgainstTheGateLimits) {
  TGateLimits unicode = Gate(true, 160, 70), plain = Gate(false, 160, 70);
  EXPECT_EQ(SymbolsLeft(nullptr, "hello"), 0) << "no gate selected";
  EXPECT_EQ(SymbolsLeft(&unicode, "hello"), 155);
  EXPECT_EQ(SymbolsLeft(&plain, "hello"), 155);
  std::string cyrillic = "Привет"_cp;  // six letters, six bytes
  EXPECT_EQ(SymbolsLeft(&unicode, cyrillic), 64) << "counted against MaxUnicodeSymbols";
  EXPECT_EQ(SymbolsLeft(&plain, cyrillic), 154) << "a gate without Unicode has one limit";
  EXPECT_EQ(SymbolsLeft(&unicode, "a\r\nb"), 156) << "a line break is two symbols";
  EXPECT_EQ(SymbolsLeft(&unicode, std::string(161, 'x')), -1);
  EXPECT_EQ(SymbolsLeft(&unicode, std::string(70, 'x') + "ы"_cp), -1);
  EXPECT_EQ(SymbolCounterText(5, -3), "Введено 5 символов, осталось -3"_cp);
}

TEST(Subject, ExactlyTheLimitIsValid) {
  TGateLimits gate = Gate(true, 160, 70);
  EXPECT_TRUE(IsSubjectValid(true, &gate, std::string(10, 's')));
  EXPECT_FALSE(IsSubjectValid(true, &gate, std::string(11, 's')));
  EXPECT_TRUE(IsSubjectValid(false, &gate, std::string(11, 's'))) << "an SMS has no subject";
  EXPECT_TRUE(IsSubjectValid(true, nullptr, std::string(300, 's')));
}

TEST(Multimedia, TheFourFailuresInOrder) {
  TGateLimits gate = Gate(true, 160, 70);
  auto error = [&](int64_t size, int type) { return MultimediaError(true, &gate, true, size, type); };
  EXPECT_EQ(error(10, 1), "Оператор не поддерживает мультимедия"_cp);
  gate.SupportMultiMedia = true;
  gate.MaxMultimediaSize = 100;
  EXPECT_EQ(error(101, 2), "Размер мультимедия превышает допустимый предел"_cp) << "size before kind";
  EXPECT_EQ(error(100, 2), "Оператор не поддерживает аудио"_cp) << "equal size allowed";
  EXPECT_EQ(error(100, 1), "Оператор не поддерживает изображения"_cp);
  EXPECT_EQ(error(100, 0), "") << "an unknown kind asks for neither";
  gate.SupportAudio = gate.SupportImage = true;
  EXPECT_EQ(error(100, 1), "");
  EXPECT_EQ(error(100, 2), "");
  gate.SupportMultiMedia = false;
  EXPECT_EQ(MultimediaError(false, &gate, true, 10, 1), "") << "not an MMS";
  EXPECT_EQ(MultimediaError(true, nullptr, true, 10, 1), "") << "no gate";
  EXPECT_EQ(MultimediaError(true, &gate, false, 0, 1), "") << "no attachment";
}

// Each status text comes when the ones before it no longer apply; the send
// follows its own rule.
TEST(Readiness, EveryStatusTextInOrderAndTheSendRule) {
  TGateLimits gate = Gate(true, 20, 10);
  TComposerState s;
  EXPECT_EQ(EvaluateReadiness(s).status, "Введите номер абонента"_cp);
  s.recipientEmpty = false;
  EXPECT_EQ(EvaluateReadiness(s).status, "Не найден оператор"_cp);
  s.gate = &gate;
  s.mms = true;
  s.subject = std::string(11, 's');
  EXPECT_EQ(EvaluateReadiness(s).status, "Тема сообщения превышает допустимый размер 10 символов"_cp);
  s.subject = "ok";
  EXPECT_EQ(EvaluateReadiness(s).status, "Введите текст сообщения"_cp);
  EXPECT_FALSE(EvaluateReadiness(s).canSend);
  s.memoEmpty = false;
  s.finalText = std::string(21, 'x');
  EXPECT_EQ(EvaluateReadiness(s).status, "Длина сообщения превышает допустимый размер"_cp);
  EXPECT_FALSE(EvaluateReadiness(s).canSend);
  s.finalText = std::string(20, 'x');
  s.mediaError = "Оператор не поддерживает аудио"_cp;
  EXPECT_EQ(EvaluateReadiness(s).status, s.mediaError);
  EXPECT_FALSE(EvaluateReadiness(s).canSend);
  s.mediaError.clear();
  EXPECT_EQ(EvaluateReadiness(s).status, "Готово к отправке"_cp);
  EXPECT_TRUE(EvaluateReadiness(s).canSend);

  // A gate without Unicode takes what transliteration left over only as
  // ASCII: the status may read ready while the send stays off.
  s.finalText = "abc"_cp + "щ"_cp;
  s.translitEnabled = false;
  gate.SupportUnicode = false;
  EXPECT_EQ(EvaluateReadiness(s).status, "Готово к отправке"_cp);
  EXPECT_FALSE(EvaluateReadiness(s).canSend);
  s.translitEnabled = true;
  EXPECT_TRUE(EvaluateReadiness(s).canSend);

  // Sending needs a gate and a text, not a recipient text as such.
  s.recipientEmpty = true;
  EXPECT_EQ(EvaluateReadiness(s).status, "Введите номер абонента"_cp);
  EXPECT_TRUE(EvaluateReadiness(s).canSend);
  s.gate = nullptr;
  EXPECT_FALSE(EvaluateReadiness(s).canSend);
}

TEST(Multimedia, KindsLabelsAndFilter) {
  EXPECT_EQ(MultimediaTypeOf("image/jpeg"), 1);
  EXPECT_EQ(MultimediaTypeOf("IMAGE/PNG"), 1);
  EXPECT_EQ(MultimediaTypeOf("audio/x-wav"), 2);
  EXPECT_EQ(MultimediaTypeOf("application/vnd.smaf"), 2);
  EXPECT_EQ(MultimediaTypeOf("application/octet-stream"), 0);
  EXPECT_EQ(MultimediaTypeOf(""), 0);
  EXPECT_EQ(MultimediaSizeText(0), "Размер: 0.00 Кб"_cp);
  EXPECT_EQ(MultimediaSizeText(1536), "Размер: 1.50 Кб"_cp);
  EXPECT_EQ(MultimediaDimensionText("640x480"), "Разрешение: 640x480"_cp);
  EXPECT_EQ(MultimediaFileFilter(),
            "Мультимедия|*.bmp;*.gif;*.jpg;*.png;*.wav;*.mp3;*.mid;*.mmf|Изображения|*.bmp;*.gif;*.jpg;*.png|Аудио|*.wav;*."
            "mp3;*.mid;*.mmf"_cp);
}

TEST(Attachment, ReadWholeWithTheTypeOfItsBytesOrItsName) {
  TempDir dir;
  const std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + "rest";
  TAttachmentFile file = ReadAttachment(dir.Write("photo.PNG", png), 1024);
  EXPECT_EQ(file.error, "");
  EXPECT_EQ(file.bytes, png);
  EXPECT_EQ(file.fileName, "photo.PNG");
  EXPECT_EQ(file.contentType, "image/png");
  // The name may lie; a picture's bytes do not.
  EXPECT_EQ(ReadAttachment(dir.Write("really.jpg", png), 1024).contentType, "image/png");
  EXPECT_EQ(ReadAttachment(dir.Write("tune.mp3", "ID3....."), 1024).contentType, "audio/mpeg");
  EXPECT_EQ(ReadAttachment(dir.Write("ring.MMF", "MMMD...."), 1024).contentType, "application/vnd.smaf");
  EXPECT_EQ(ReadAttachment(dir.Write("notes.txt", "text"), 1024).contentType, "");
  EXPECT_EQ(ReadAttachment(dir.Write("empty.gif", ""), 1024).error, "") << "an empty file is a file";
}

TEST(Attachment, RefusedWhenUnreadableOrLargerThanTheCap) {
  TempDir dir;
  TAttachmentFile missing = ReadAttachment(dir.File("gone.jpg"), 1024);
  EXPECT_EQ(missing.error, "Не удалось прочитать файл gone.jpg"_cp);
  EXPECT_TRUE(missing.bytes.empty());
  EXPECT_NE(ReadAttachment(dir.Path().string(), 1024).error, "") << "a folder";
  EXPECT_EQ(ReadAttachment(dir.Write("exact.wav", std::string(1024, 'x')), 1024).error, "");
  TAttachmentFile big = ReadAttachment(dir.Write("big.wav", std::string(1025, 'x')), 1024);
  EXPECT_EQ(big.error, "Файл big.wav слишком велик: вложение может занимать не больше 1 Кб"_cp);
  EXPECT_TRUE(big.bytes.empty());
  // A file whose size says nothing: read up to the cap and no further.
  if (std::filesystem::exists("/dev/zero")) {
    EXPECT_NE(ReadAttachment("/dev/zero", 1 << 20).error, "") << "not a regular file";
  }
  std::string unreadable = dir.Write("locked.bmp", "BM..");
  std::filesystem::permissions(unreadable, std::filesystem::perms::none);
  if (getuid() != 0) {
    EXPECT_NE(ReadAttachment(unreadable, 1024).error, "");
  }
}

}  // namespace
