// tools/pxsend run as a program against the fake operator site: its output
// lines, its exit codes, the profile it makes and the message it builds.
#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "gates/fakesite.h"
#include "gates/pxsendrun.h"
#include "support/tempdir.h"
#include "support/testfifo.h"

namespace {

class Pxsend : public ::testing::Test {
 protected:
  std::string Profile() const { return dir.File("profile"); }
  std::string GateFile() const { return dir.Write("gate.xml", gate.Xml()); }
  // The body of the site's POST /send.
  std::string PostBody() const {
    for (const std::string& request : site.Requests())
      if (request.starts_with("POST /send ")) return request.substr(request.find("\r\n\r\n") + 4);
    return {};
  }

  TempDir dir;
  FakeSite site;
  FakeGateSpec gate = FakeGate(site);
};

TEST_F(Pxsend, SendsThroughTheImportedGateAndPrintsEveryReport) {
  ToolRun run = RunPxsend({"--profile", Profile(), "--import", GateFile(), "--code", FakeSite::kCode, "--set",
                           "Send\\LogSend=TRUE", "79161234567", "Привет, мир"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.Lines(), DeliveredSendLines("FakeOperator"));
  EXPECT_EQ(PostBody(), "token=T42&phone=9161234567&text=%CF%F0%E8%E2%E5%F2%2C%20%EC%E8%F0&code=7391");
  // The profile as the program makes it, the captcha saved, the send logged.
  for (const char* file : {"Parlomix.db3", "Gates.db3", "Parlomix.ini", "Placemnt.ini", "Log/HTTP/info.txt"})
    EXPECT_TRUE(std::filesystem::exists(Profile() + "/" + file)) << file;
  QImage captcha(QString::fromStdString(Profile() + "/captcha.png"));
  EXPECT_EQ(captcha.convertToFormat(QImage::Format_RGB32), site.Captcha());
}

TEST_F(Pxsend, TheCodeComesFromStandardInputAndAFailedSendExitsWithOne) {
  const std::string captcha = dir.File("shown.png");
  ToolRun run = RunPxsend({"--profile", Profile(), "--import", GateFile(), "--captcha", captcha, "79161234567", "x"},
                          "0000\n");
  EXPECT_EQ(run.exitCode, 1);
  ASSERT_FALSE(run.Lines().empty());
  EXPECT_EQ(run.Lines().back(), "result: status=2 error=20 text=Неверно введен код");
  EXPECT_NE(PostBody().find("&code=0000"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(captcha));
}

TEST_F(Pxsend, APackageTheFirstGateOfferedAndTheSignatureAsTheComposerAddsIt) {
  gate.SetInfo("Captcha", "0");
  gate.Set("postdata", "eval('text=' + EncodeFormElem(SMS['Text']) + '&flash=' + VarToStr(SMS['Flash']))");
  std::string package = gate.Xml();
  package.replace(package.find("<gate>"), 6, "<gates version=\"9\"><gate>");
  package.replace(package.find("</gate>"), 7, "</gate></gates>");
  const std::string file = dir.Write("package.xml", package);
  ToolRun run = RunPxsend({"--profile", Profile(), "--package", file, "--signature", "Вася", "--flash", "+7 916 123-45-67",
                           "Привет"});
  EXPECT_EQ(run.Lines().front(), "gate: FakeOperator") << run.err;
  EXPECT_EQ(PostBody(), "text=%CF%F0%E8%E2%E5%F2%0D%0A%C2%E0%F1%FF&flash=True");
  // A delimiter that places the signature itself.
  RunPxsend({"--profile", Profile(), "--set", "Message\\SignatureDelimiter=-(\\s)", "--signature", "Вася",
             "79161234567", "Привет"});
  EXPECT_NE(site.Requests().back().find("text=%CF%F0%E8%E2%E5%F2-%28%C2%E0%F1%FF%29&"), std::string::npos)
      << site.Requests().back();
}

TEST_F(Pxsend, AnMmsCarriesItsAttachment) {
  gate = FakeGate(site, "MMS");
  const std::string picture = dir.Write("pic.gif", std::string("GIF89a\x02\x00\x03\x00\x00\x00\x00;", 14));
  ToolRun run = RunPxsend({"--profile", Profile(), "--import", GateFile(), "--code", FakeSite::kCode, "--mms",
                           "--subject", "Тема", "--attach", picture, "79161234567", "hi"});
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  std::string upload;
  for (const std::string& request : site.Requests())
    if (request.starts_with("POST /upload ")) upload = request;
  EXPECT_NE(upload.find("name=\"file\"; filename=\"pic.gif\"\r\nContent-Type: image/gif\r\n\r\nGIF89a"),
            std::string::npos);
  EXPECT_NE(upload.find(cp1251::FromUtf8("\r\n\r\nТема\r\n")), std::string::npos);
}

TEST_F(Pxsend, AnMmsWithoutAttachmentForAGateThatSendsWithoutOne) {
  // The composer still gives the message an attachment item, empty, right
  // after the subject; the gate's upload sees it.
  gate = FakeGate(site, "MMS");
  gate.SetInfo("SendWOMultimedia", "1");
  gate.Set("mu_postdata",
           "eval(begin Stored['token'] := Html.StrBetween('name=\"token\" value=\"', '\"'); "
           "PostData.Add('third', iff(Assigned(MMS.Items[3]), 'item', 'none')); "
           "PostData.AddData('file', MMS['MultiMedia']); end;)");
  ToolRun run = RunPxsend({"--profile", Profile(), "--import", GateFile(), "--code", FakeSite::kCode, "--mms",
                           "--subject", "s", "79161234567", "hi"});
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  std::string upload;
  for (const std::string& request : site.Requests())
    if (request.starts_with("POST /upload ")) upload = request;
  EXPECT_NE(upload.find("\r\n\r\nitem\r\n"), std::string::npos) << upload;
  EXPECT_NE(upload.find("name=\"file\"; filename=\"\"\r\nContent-Type: \r\n\r\n\r\n"), std::string::npos) << upload;
}

// A pipe where pxsend reads a file is refused unread, and pxsend ends.
TEST_F(Pxsend, APipeToReadIsRefusedAndEndsTheRun) {
  std::filesystem::create_directories(Profile());
  for (std::string where : {"--import", "--package", "Parlomix.ini"}) {
    const bool option = where.starts_with("--");
    TestFifo pipe(option ? dir.File("gates.xml") : Profile() + "/" + where);
    std::vector<std::string> args = {"--profile", Profile(), "79161234567", "text"};
    if (option) args.insert(args.begin() + 2, {where, pipe.Path()});
    ToolRun run = RunPxsend(args, "", 10000);
    EXPECT_EQ(run.exitCode, 1) << where;
    EXPECT_NE(run.err.find("не является обычным файлом"), std::string::npos) << run.err;
    EXPECT_FALSE(pipe.Blocked()) << where;
  }
}

TEST_F(Pxsend, BadUsageAndMissingGates) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {},
           {"--profile", Profile(), "79161234567"},
           {"79161234567", "text"},
           {"--profile", Profile(), "--bogus", "79161234567", "text"},
           {"--profile", Profile(), "--subject", "s", "79161234567", "text"},
           {"--profile", Profile(), "--set", "NoEquals", "79161234567", "text"},
           {"--profile", Profile(), "--gate"},
       }) {
    ToolRun run = RunPxsend(args);
    EXPECT_EQ(run.exitCode, 2) << ::testing::PrintToString(args);
    EXPECT_NE(run.err.find("usage: pxsend --profile DIR"), std::string::npos);
  }
  ToolRun none = RunPxsend({"--profile", Profile(), "79161234567", "text"});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_NE(none.err.find("no gate for 79161234567"), std::string::npos) << none.err;
  ToolRun unknown = RunPxsend({"--profile", Profile(), "--gate", "Nobody", "79161234567", "text"});
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_EQ(unknown.Lines().front(), "gate: Nobody");
  EXPECT_EQ(unknown.Lines().back().rfind("result: status=4 error=0 text=Невозможно отправить сообщение", 0), 0u)
      << unknown.out;
}

}  // namespace
