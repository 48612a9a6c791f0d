// Gate files as gate authors write them (data/gatefiles: one gate in
// Windows-1251 with tabs, comments, CDATA and entities; a UTF-8 package with
// a byte-order mark, gzip-compressed here), imported and sent by the pxsend
// tool against the fake operator site. "{SITE}" in a file stands for the
// site's address.
#include <QImage>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gates/encoded_bytes.h"
#include "gates/fakesite.h"
#include "gates/pxsendrun.h"
#include "support/tempdir.h"

namespace {

class GateFiles : public ::testing::Test {
 protected:
  // The data file with the site's address put in, written to the test's
  // folder under `as`, gzip-compressed when asked.
  std::string GateFile(const std::string& name, const std::string& as, bool gzip = false) {
    std::string text = SiteGateFile(std::string(PX_GATES_TEST_DATA) + "/gatefiles/" + name, site);
    EXPECT_FALSE(text.empty()) << name;
    return dir.Write(as, gzip ? Gzip(text) : text);
  }
  std::string Profile() const { return dir.File("profile"); }
  // The request of the site that starts with `start`, byte for byte.
  std::string Request(const std::string& start) const {
    for (const std::string& request : site.Requests())
      if (request.starts_with(start)) return request;
    return {};
  }
  static std::string Body(const std::string& request) { return request.substr(request.find("\r\n\r\n") + 4); }

  TempDir dir;
  FakeSite site;
};

TEST_F(GateFiles, AWindows1251GateWithCaptchaDeliveryCheckAndLogout) {
  site.QueuedAnswers = 2;
  ToolRun run = RunPxsend({"--profile", Profile(), "--import", GateFile("fake_telecom.xml", "gate.xml"), "--code",
                           FakeSite::kCode, "+7 (916) 123-45-67", "Привет, мир!"});
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_EQ(run.Lines(), DeliveredSendLines("ФейкТелеком"));
  EXPECT_EQ(site.Lines(), (std::vector<std::string>{"GET /form", "GET /captcha.png?sid=eval&w=120", "POST /send",
                                                    "GET /result?id=77", "GET /status?id=77", "GET /status?id=77",
                                                    "GET /status?id=77", "GET /logout"}));
  const std::string post = Request("POST /send ");
  EXPECT_NE(post.find("\r\nCookie: sid=S123\r\n"), std::string::npos) << post;
  EXPECT_NE(post.find("\r\nReferer: " + site.URL("/form") + "\r\n"), std::string::npos) << post;
  EXPECT_EQ(Body(post), "token=T42&phone=9161234567&text=%CF%F0%E8%E2%E5%F2%2C%20%EC%E8%F0!&code=7391");
  // The delivery check asks with the send page as referer.
  EXPECT_NE(Request("GET /status").find("\r\nReferer: " + site.URL("/send") + "\r\n"), std::string::npos);
  // The picture shown is the middle of the site's, as the gate's script cut it.
  QImage shown(QString::fromStdString(Profile() + "/captcha.png"));
  EXPECT_EQ(shown.convertToFormat(QImage::Format_RGB32), site.Captcha().copy(30, 0, 60, 40));
}

TEST_F(GateFiles, TheSameGateReportsTheSitesErrorBlockForAWrongCode) {
  ToolRun run = RunPxsend({"--profile", Profile(), "--import", GateFile("fake_telecom.xml", "gate.xml"), "--code",
                           "0000", "79031234567", "x"});
  EXPECT_EQ(run.exitCode, 1);
  ASSERT_FALSE(run.Lines().empty()) << run.err;
  EXPECT_EQ(run.Lines().back(), "result: status=2 error=20 text=Неверно введен код");
}

TEST_F(GateFiles, AGzippedUtf8PackageWithAnMmsGate) {
  const std::string picture = dir.Write("pic.gif", std::string("GIF89a\x02\x00\x03\x00\x00\x00\x00;", 14));
  ToolRun run = RunPxsend({"--profile", Profile(), "--package", GateFile("fake_mms_package.xml", "gates.XML.GZ", true),
                           "--mms", "--subject", "Тема", "--attach", picture, "--code", FakeSite::kCode, "79171234567",
                           "Съешь ещё"});
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  ASSERT_FALSE(run.Lines().empty()) << run.err;
  EXPECT_EQ(run.Lines().front(), "gate: Фейк MMS");
  EXPECT_EQ(run.Lines().back(), "result: status=0 error=0 text=");
  EXPECT_EQ(run.Lines()[run.Lines().size() - 2],
            "step 4 phase 1: Сообщение отправлено. Проверка доставки не поддерживается или отключена.");
  // The redirect is not followed: the gate reads its target instead.
  EXPECT_EQ(site.Lines(),
            (std::vector<std::string>{"GET /form", "GET /captcha.png", "POST /upload", "POST /send"}));
  EXPECT_NE(Request("GET /form ").find("\r\nReferer: " + site.URL("/") + "\r\n"), std::string::npos);
  const std::string upload = Request("POST /upload ");
  EXPECT_NE(upload.find("Content-Type: multipart/form-data; boundary="), std::string::npos);
  EXPECT_NE(upload.find(cp1251::FromUtf8("name=\"subject\"\r\n\r\nТема\r\n")), std::string::npos) << upload;
  EXPECT_NE(upload.find("name=\"file\"; filename=\"pic.gif\"\r\nContent-Type: image/gif\r\n\r\nGIF89a"),
            std::string::npos);
  // The form page stayed in Html past the upload, so the token is there.
  EXPECT_EQ(Body(Request("POST /send ")),
            "token=T42&phone=9171234567&text=%D1%FA%E5%F8%FC%20%E5%F9%B8&code=7391");
}

}  // namespace
