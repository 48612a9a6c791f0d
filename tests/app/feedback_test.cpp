// Feedback: the themes' texts, the error report, the e-mail rule, the form
// post against a feedback server in this process (fields byte for byte, the
// send log as a real zip archive), and the window as a person uses it.
#include "feedback.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>

#include "app/modal.h"
#include "app/qtwait.h"
#include "cp1251.h"
#include "feedbackfrm.h"
#include "files.h"
#include "gates/httptestenv.h"
#include "gates/rawserver.h"
#include "placement.h"
#include "sendlogger.h"
#include "support/tempdir.h"
#include "uitext.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// One part of a multipart body: its header lines and its content.
struct Part {
  std::string name, headers, content;
};

// The parts of a multipart body in order; a body that does not end with its
// closing delimiter gives none.
std::vector<Part> SplitParts(const std::string& body, const std::string& boundary) {
  const std::string delimiter = "--" + boundary;
  if (!body.ends_with(delimiter + "--\r\n")) return {};
  std::vector<Part> parts;
  size_t at = 0;
  while (body.compare(at, delimiter.size() + 2, delimiter + "\r\n") == 0) {
    size_t start = at + delimiter.size() + 2;
    size_t next = body.find("\r\n" + delimiter, start);
    if (next == std::string::npos) return {};
    std::string part = body.substr(start, next - start);
    size_t blank = part.find("\r\n\r\n");
    if (blank == std::string::npos) return {};
    Part p{"", part.substr(0, blank), part.substr(blank + 4)};
    size_t name = p.headers.find("name=\"");
    if (name != std::string::npos) p.name = p.headers.substr(name + 6, p.headers.find('"', name + 6) - name - 6);
    parts.push_back(p);
    at = next + 2;
  }
  return parts;
}

// A header's value in a raw request; empty when it has none.
std::string HeaderOf(const std::string& request, const std::string& name) {
  size_t at = request.find("\r\n" + name + ": ");
  if (at == std::string::npos) return {};
  at += name.size() + 4;
  return request.substr(at, request.find("\r\n", at) - at);
}

// A feedback server on 127.0.0.1 that records each post byte for byte and
// answers as the test says.
class FeedbackServer {
 public:
  struct Post {
    std::string body, contentType, userAgent;
    std::vector<Part> parts;
    const Part* Find(const std::string& name) const {
      for (const Part& part : parts)
        if (part.name == name) return &part;
      return nullptr;
    }
  };
  std::atomic<int> status{200};
  std::atomic<int> delayMs{0};

  std::string Url() const { return server_.URL("/feedback.html"); }
  std::vector<Post> Posts() {
    std::vector<Post> posts;
    for (const std::string& request : server_.Requests()) {
      Post post{request.substr(request.find("\r\n\r\n") + 4), HeaderOf(request, "Content-Type"),
                HeaderOf(request, "User-Agent"), {}};
      const std::string prefix = "multipart/form-data; boundary=";
      if (post.contentType.starts_with(prefix))
        post.parts = SplitParts(post.body, post.contentType.substr(prefix.size()));
      posts.push_back(post);
    }
    return posts;
  }

 private:
  RawServer server_{[this](RawServer& server, RawConnection& connection) {
    if (server.Read(connection).empty()) return;
    for (auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs.load());
         !server.Stopping() && std::chrono::steady_clock::now() < end;)
      std::this_thread::sleep_for(5ms);
    const int code = status;
    std::string line = code == 200 ? "200 OK" : code == 302 ? "302 Found" : std::to_string(code) + " Error";
    connection.Send(Answer(line, code == 302 ? "Location: /feedback.html\r\n" : "", "thanks"));
  }};
};

// One entry of a zip archive as the unzip tool reads it.
std::string Unzip(const std::string& zip, const std::string& entry) {
  TempDir dir;
  std::string file = dir.Write("log.zip", zip);
  std::string out;
  if (FILE* pipe = popen(("unzip -p '" + file + "' '" + entry + "' 2>/dev/null").c_str(), "r")) {
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

const std::string CRLF = "\r\n";

TEST(FeedbackThemes, SixThemesWithTheirHintsAndMessages) {
  EXPECT_EQ(FeedbackThemes(), (std::vector<std::string>{"Общий вопрос"_cp, "Запрос на добавление оператора"_cp,
                                                         "Вопрос к технической поддержке"_cp, "Предложение"_cp,
                                                         "Сообщить об ошибке"_cp,
                                                         "Сообщить о неработающем операторе"_cp}));
  const std::string send = "Заполните сообщение и нажмите кнопку \"Отправить\""_cp;
  const std::string versions = "Parlomix v.2.1.4.623" + CRLF + "База операторов v.42"_cp;
  auto texts = [](int index) { return ThemeTexts(index, "2.1.4.623", 42); };
  for (int plain : {0, 3}) {
    EXPECT_EQ(texts(plain).hint, send) << plain;
    EXPECT_EQ(texts(plain).message, "") << plain;
  }
  for (int support : {2, 4}) {
    EXPECT_EQ(texts(support).hint, send) << support;
    EXPECT_EQ(texts(support).message, versions) << support;
  }
  EXPECT_EQ(texts(1).hint, "Для ускорения добавления оператора укажите в сообщении страницу отправки SMS"_cp);
  EXPECT_EQ(texts(1).message, "Имя оператора: "_cp + CRLF + "Страница отправки: "_cp);
  EXPECT_EQ(texts(5).hint, "В сообщении укажите оператора и несколько первых цифр номера"_cp + CRLF +
                               "Для активации присединения протокола отправки включите сохранение протокола в "
                               "настройках программы"_cp);
  EXPECT_EQ(texts(5).message, versions + CRLF + "Имя оператора: "_cp + CRLF + "Первые цифры номера отправки: "_cp +
                                  CRLF + "Ошибка: "_cp);
  EXPECT_EQ(texts(-1).hint, send);
  EXPECT_EQ(texts(6).message, "");
}

TEST(FeedbackErrorReport, TheNumbersFirstDigitsOnlyAndNoLineWithoutOne) {
  const std::string head = "Parlomix v.2.1.4.623" + CRLF + "База операторов v.42"_cp + CRLF;
  EXPECT_EQ(ErrorReportText("МТС (mts v.3)"_cp, "79161234567", "Неверный код"_cp, "2.1.4.623", 42),
            head + "Имя оператора: МТС (mts v.3)"_cp + CRLF + "Первые цифры номера отправки: 7916123"_cp + CRLF +
                "Ошибка: Неверный код"_cp);
  EXPECT_EQ(ErrorReportText("G", "", "E", "2.1.4.623", 42), head + "Имя оператора: G"_cp + CRLF + "Ошибка: E"_cp);
  EXPECT_EQ(ErrorReportText("G", "123", "E", "2.1.4.623", 42),
            head + "Имя оператора: G"_cp + CRLF + "Первые цифры номера отправки: "_cp + CRLF + "Ошибка: E"_cp);
}

TEST(FeedbackEmail, NeedsAnAtAndADotAfterIt) {
  EXPECT_FALSE(IsEmailValid(""));
  EXPECT_FALSE(IsEmailValid("vasya.mail.ru")) << "no @";
  EXPECT_FALSE(IsEmailValid("vasya.pupkin@mailru")) << "the only dot before the @";
  EXPECT_FALSE(IsEmailValid("vasya@"));
  EXPECT_TRUE(IsEmailValid("vasya@mail.ru"));
  EXPECT_TRUE(IsEmailValid("v@a@b.c")) << "a dot after the first @";
  EXPECT_TRUE(IsEmailValid("@."));
}

class FeedbackPostTest : public ::testing::Test {
 protected:
  HttpProfile http;
  FeedbackServer server;
  TProgramVersion saved = ProgramVersion;

  void SetUp() override { ProgramVersion.FileVersion = "2.1.4.623"; }
  void TearDown() override { ProgramVersion = saved; }
  bool Post(const TFeedbackFields& fields) {
    TUploadStop stop;
    return PostFeedback(server.Url(), BuildFeedbackPost(fields), stop);
  }
};

TEST_F(FeedbackPostTest, FiveFieldsInOrderAsUtf8AndTheSendersAgent) {
  TFeedbackFields fields{"Вася"_cp, "vasya@mail.ru", "Предложение"_cp, "Строка 1\r\nСтрока 2 & <3>"_cp, std::nullopt};
  ASSERT_TRUE(Post(fields));
  auto posts = server.Posts();
  ASSERT_EQ(posts.size(), 1u);
  const auto& post = posts[0];
  EXPECT_EQ(post.userAgent, "Parlomix Feedback v. 2.1.4.623");
  ASSERT_TRUE(post.contentType.starts_with("multipart/form-data; boundary=")) << post.contentType;
  std::string boundary = post.contentType.substr(std::string("multipart/form-data; boundary=").size());
  EXPECT_EQ(boundary.size(), 8 + std::string("_Parlomix_boundary").size());
  EXPECT_TRUE(boundary.ends_with("_Parlomix_boundary"));

  const std::pair<const char*, std::string> expected[] = {
      {"formid", "feedback"},
      {"sendername", "Вася"},
      {"email", "vasya@mail.ru"},
      {"subj", "Предложение"},
      {"comments", "Строка 1\r\nСтрока 2 & <3>"},
  };
  std::string body;
  for (const auto& [name, value] : expected)
    body += "--" + boundary + CRLF + "content-disposition: form-data; name=\"" + name + "\"" + CRLF + CRLF + value + CRLF;
  body += "--" + boundary + "--" + CRLF;
  EXPECT_EQ(post.body, body) << "byte for byte, in UTF-8";
  ASSERT_EQ(post.parts.size(), 5u);
  for (size_t i = 0; i < post.parts.size(); ++i) {
    EXPECT_EQ(post.parts[i].name, expected[i].first);
    EXPECT_EQ(post.parts[i].content, expected[i].second);
  }
}

TEST_F(FeedbackPostTest, TheSendLogGoesAsARealZipArchive) {
  fs::create_directories(ProfileDir);
  auto logger = TSendLogger::Create("MTS");
  logger->Start();
  AppendToFile(logger->GetFolder() + "01_request.txt", "GET / HTTP/1.1\r\n");
  std::string zip;
  logger->SaveToZip(zip);
  TFeedbackFields fields{"Вася"_cp, "vasya@mail.ru", "Сообщить о неработающем операторе"_cp, "Ошибка"_cp, zip};
  ASSERT_TRUE(Post(fields));
  auto posts = server.Posts();
  ASSERT_EQ(posts.size(), 1u);
  ASSERT_EQ(posts[0].parts.size(), 6u);
  const Part& file = posts[0].parts[5];
  EXPECT_EQ(file.name, "fileattachment") << "the file comes last";
  EXPECT_EQ(file.headers,
            "Content-disposition: form-data; name=\"fileattachment\"; filename=\"log.zip\"\r\n"
            "Content-Type: application/zip");
  EXPECT_EQ(file.content, zip) << "unchanged by the charset";
  EXPECT_EQ(Unzip(file.content, "01_request.txt"), "GET / HTTP/1.1\r\n");
  EXPECT_NE(Unzip(file.content, "info.txt").find("MTS"), std::string::npos);
}

TEST_F(FeedbackPostTest, OnlyStatus200IsSuccess) {
  TFeedbackFields fields{"A", "a@b.c", "T", "M", std::nullopt};
  for (int status : {200, 302, 500, 404}) {
    server.status = status;
    EXPECT_EQ(Post(fields), status == 200) << status;
  }
  TUploadStop stop;
  EXPECT_FALSE(PostFeedback("http://127.0.0.1:1/feedback.html", BuildFeedbackPost(fields), stop));
  EXPECT_FALSE(PostFeedback("file:///etc/passwd", BuildFeedbackPost(fields), stop));
  // A server that takes the post but then says nothing has stalled it.
  server.status = 200;
  server.delayMs = 3000;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(PostFeedback(server.Url(), BuildFeedbackPost(fields), stop, {.bytesPerSec = 1000, .stallSec = 1}));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms);
}

// ---- The window ----

class TestFeedbackFrm : public TFeedbackFrm {
 public:
  using TFeedbackFrm::TFeedbackFrm;
  std::vector<std::string> messages;

 protected:
  void ShowMessageText(const std::string& text) override { messages.push_back(text); }
};

class FeedbackWindow : public FeedbackPostTest {
 protected:
  TempDir placementDir;
  TIniStorage placement{placementDir.File("Placemnt.ini")};
  TIniStorage* savedPlacement = PlacementStorage;

  void SetUp() override {
    FeedbackPostTest::SetUp();
    PlacementStorage = &placement;
    Options->WriteString("General\\FeedbackURL", server.Url());
    ProgramVersion.GatesVersion = 42;
  }
  void TearDown() override {
    PlacementStorage = savedPlacement;
    FeedbackPostTest::TearDown();
  }
  static void Fill(TFeedbackFrm& frm) {
    frm.edName->setText(QStr("Вася"_cp));
    frm.edEMail->setText("vasya@mail.ru");
    frm.mMsg->setPlainText("Привет");
  }
};

TEST_F(FeedbackWindow, OpensOnTheFirstThemeWithItsHint) {
  TestFeedbackFrm frm;
  EXPECT_EQ(frm.windowTitle(), QStr("Обратная связь"_cp));
  EXPECT_EQ(frm.cbTheme->count(), 6);
  EXPECT_EQ(frm.cbTheme->currentIndex(), 0);
  EXPECT_TRUE(frm.cbTheme->isEnabled());
  EXPECT_EQ(CpStr(frm.stComment->text()), "Заполните сообщение и нажмите кнопку \"Отправить\""_cp);
  EXPECT_EQ(frm.MessageText(), "");
  EXPECT_FALSE(frm.chbAttachLog->isEnabled());
  EXPECT_EQ(frm.btSend->text(), QStr("Отправить"_cp));
  EXPECT_EQ(frm.btCancel->text(), QStr("Отмена"_cp));
  EXPECT_EQ(frm.chbAttachLog->text(),
            QStr("Присоедениить протокол отправки (содержит номер отправки и текст сообщения)"_cp));
}

TEST_F(FeedbackWindow, AThemeReplacesWhatWasTyped) {
  TestFeedbackFrm frm;
  frm.mMsg->setPlainText("Мой вопрос");
  frm.cbTheme->setCurrentIndex(1);
  EXPECT_EQ(frm.MessageText(), "Имя оператора: "_cp + CRLF + "Страница отправки: "_cp);
  frm.cbTheme->setCurrentIndex(4);
  EXPECT_EQ(frm.MessageText(), "Parlomix v.2.1.4.623" + CRLF + "База операторов v.42"_cp);
  frm.cbTheme->setCurrentIndex(3);
  EXPECT_EQ(frm.MessageText(), "");
}

TEST_F(FeedbackWindow, AnErrorReportFixesItsThemeAndFillsTheMessage) {
  TestFeedbackFrm frm;
  frm.PrepareErrorReport("МТС"_cp, "79161234567", "Таймаут"_cp);
  EXPECT_EQ(frm.cbTheme->currentIndex(), 5);
  EXPECT_FALSE(frm.cbTheme->isEnabled());
  EXPECT_EQ(frm.MessageText(), ErrorReportText("МТС"_cp, "79161234567", "Таймаут"_cp, "2.1.4.623", 42));
  EXPECT_EQ(CpStr(frm.stComment->text()), ThemeTexts(5, "", 0).hint);
}

TEST_F(FeedbackWindow, IncompleteFieldsSendNothing) {
  for (int missing = 0; missing < 4; ++missing) {
    TestFeedbackFrm frm;
    Fill(frm);
    if (missing == 0) frm.edName->clear();
    if (missing == 1) frm.edEMail->setText("vasya.mail.ru");
    if (missing == 2) frm.mMsg->clear();
    if (missing == 3) frm.edEMail->clear();
    frm.btSend->click();
    EXPECT_EQ(frm.messages, (std::vector<std::string>{"Заполните все поля и повторите попытку"_cp})) << missing;
    EXPECT_FALSE(frm.Busy());
  }
  WaitUntil([] { return false; }, 100);
  EXPECT_TRUE(server.Posts().empty());
}

TEST_F(FeedbackWindow, BusyWhileItPostsAndClosedWithOkAfterwards) {
  server.delayMs = 400;
  placement.WriteString("FeedbackFrm\\edName.Text", "Old");
  TestFeedbackFrm frm;
  EXPECT_EQ(frm.edName->text(), "Old") << "remembered from the last time";
  frm.show();
  Fill(frm);
  frm.cbTheme->setCurrentIndex(3);
  frm.mMsg->setPlainText(QStr("Сделайте тёмную тему"_cp));
  frm.btSend->click();
  EXPECT_TRUE(frm.Busy());
  EXPECT_EQ(frm.cursor().shape(), Qt::WaitCursor);
  for (QWidget* control : std::initializer_list<QWidget*>{frm.edName, frm.edEMail, frm.cbTheme, frm.mMsg,
                                                          frm.chbAttachLog, frm.btSend, frm.btCancel})
    EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
  frm.close();
  frm.reject();
  EXPECT_TRUE(frm.isVisible()) << "it cannot be closed while it posts";
  ASSERT_TRUE(WaitUntil([&] { return !frm.isVisible(); }));
  EXPECT_EQ(frm.result(), QDialog::Accepted);
  EXPECT_TRUE(frm.messages.empty());
  auto posts = server.Posts();
  ASSERT_EQ(posts.size(), 1u);
  ASSERT_TRUE(posts[0].Find("subj") && posts[0].Find("comments"));
  EXPECT_EQ(posts[0].Find("subj")->content, "Предложение");
  EXPECT_EQ(posts[0].Find("comments")->content, "Сделайте тёмную тему");
  EXPECT_EQ(placement.ReadString("FeedbackFrm\\edName.Text", ""), "Вася"_cp);
  EXPECT_EQ(placement.ReadString("FeedbackFrm\\edEMail.Text", ""), "vasya@mail.ru");
}

TEST_F(FeedbackWindow, AFailedPostKeepsTheWindowAsItWas) {
  for (int status : {302, 500}) {
    server.status = status;
    TestFeedbackFrm frm;
    frm.show();
    Fill(frm);
    frm.PrepareErrorReport("G", "", "E");
    std::string message = frm.MessageText();
    frm.btSend->click();
    ASSERT_TRUE(WaitUntil([&] { return !frm.Busy(); }));
    EXPECT_EQ(frm.messages,
              (std::vector<std::string>{
                  "Ошибка отправки. Повторите попытку позже или попробуйте отправить форму с сайта"_cp}))
        << status;
    EXPECT_TRUE(frm.isVisible());
    EXPECT_EQ(frm.MessageText(), message);
    EXPECT_TRUE(frm.btSend->isEnabled());
    EXPECT_FALSE(frm.cbTheme->isEnabled()) << "an error report's theme stays fixed";
    EXPECT_FALSE(frm.chbAttachLog->isEnabled()) << "still no log to attach";
    EXPECT_EQ(frm.cursor().shape(), Qt::ArrowCursor);
  }
}

TEST_F(FeedbackWindow, TheLogGoesOnlyWhenGivenAndTicked) {
  fs::create_directories(ProfileDir);
  auto logger = TSendLogger::Create("MTS");
  logger->Start();
  for (int run = 0; run < 3; ++run) {
    TestFeedbackFrm frm;
    Fill(frm);
    if (run > 0) frm.SetSendLog(logger.get());
    EXPECT_EQ(frm.chbAttachLog->isEnabled(), run > 0);
    frm.chbAttachLog->setChecked(run != 1);
    frm.btSend->click();
    ASSERT_TRUE(WaitUntil([&] { return !frm.Busy(); }));
  }
  auto posts = server.Posts();
  ASSERT_EQ(posts.size(), 3u);
  EXPECT_EQ(posts[0].Find("fileattachment"), nullptr) << "ticked, but no log was handed over";
  EXPECT_EQ(posts[1].Find("fileattachment"), nullptr) << "a log, not ticked";
  ASSERT_NE(posts[2].Find("fileattachment"), nullptr);
  EXPECT_NE(Unzip(posts[2].Find("fileattachment")->content, "info.txt").find("MTS"), std::string::npos);
}

TEST_F(FeedbackWindow, TheSendWindowsReportOpensOverItWithTheLog) {
  fs::create_directories(ProfileDir);
  auto logger = TSendLogger::Create("MTS");
  logger->Start();
  QWidget sendWindow;
  bool seen = false;
  auto person = OnModal<TFeedbackFrm>([&](TFeedbackFrm& frm) {
    seen = true;
    EXPECT_EQ(frm.parentWidget(), &sendWindow);
    EXPECT_EQ(frm.cbTheme->currentIndex(), 5);
    EXPECT_EQ(frm.SendLog(), logger.get());
    EXPECT_TRUE(frm.chbAttachLog->isEnabled());
    EXPECT_EQ(frm.MessageText(), ErrorReportText("МТС (mts v.3)"_cp, "79161234567", "Ошибка"_cp, "2.1.4.623", 42));
    frm.btCancel->click();
  });
  TFeedbackFrm::ShowErrorReport(&sendWindow, "МТС (mts v.3)"_cp, "79161234567", "Ошибка"_cp, logger.get());
  EXPECT_TRUE(seen);
  EXPECT_TRUE(server.Posts().empty());
}

TEST_F(FeedbackWindow, AWindowGoneWhileItPostsDropsTheResult) {
  server.delayMs = 60000;
  auto start = std::chrono::steady_clock::now();
  {
    TestFeedbackFrm frm;
    Fill(frm);
    frm.btSend->click();
    ASSERT_TRUE(WaitUntil([&] { return server.Posts().size() == 1; }));
  }
  WaitUntil([] { return false; }, 100);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

}  // namespace
