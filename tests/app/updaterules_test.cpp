// The update checks' plain rules: descriptions read safely, what a check
// found by kind and build, file names taken from download addresses, the
// due rule, and the what-is-new text as harmless rich text.
#include "updaterules.h"

#include <gtest/gtest.h>

#include "applimits.h"
#include "cp1251.h"

namespace {

using namespace std::string_literals;

std::string Description(const std::string& children) {
  return "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<update>" + children + "</update>";
}

TEST(UpdateDescription, EveryElementIsReadAndMissingOnesAreEmpty) {
  auto info = ParseUpdateInfo(Description(
      "<version>2.1.4.630</version><download> http://u.example/setup.exe\n</download>"
      "<updatedate>14.02.2009 10:30</updatedate><minbuild>600</minbuild><url>http://u.example/dl.html</url>"
      "<whatsnew>Новый оператор\r\nИсправлена ошибка</whatsnew>"_cp));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Version, "2.1.4.630");
  EXPECT_EQ(info->Build, 630);
  EXPECT_EQ(info->Download, "http://u.example/setup.exe");
  EXPECT_EQ(info->MinBuild, 600);
  EXPECT_EQ(info->Url, "http://u.example/dl.html");
  // The XML reader turns the CR LF into a line feed; both read as a break.
  EXPECT_EQ(info->WhatsNew, "Новый оператор\nИсправлена ошибка"_cp);
  EXPECT_EQ(DateTimeToStr(info->UpdateDate), "14.02.2009 10:30:00");

  auto bare = ParseUpdateInfo(Description("<version>15</version><minbuild>many</minbuild><updatedate>soon</updatedate>"));
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->Download, "");
  EXPECT_EQ(bare->Url, "");
  EXPECT_EQ(bare->WhatsNew, "");
  EXPECT_EQ(bare->MinBuild, 0);
  EXPECT_EQ(bare->UpdateDate, 0);
}

TEST(UpdateDescription, APageThatIsNoXmlOrTooLargeOrHostileIsNoDescription) {
  EXPECT_FALSE(ParseUpdateInfo("<html><body>Войдите в сеть<br></body>"_cp)) << "a captive portal's page";
  EXPECT_FALSE(ParseUpdateInfo(""));
  EXPECT_FALSE(ParseUpdateInfo("version=15"));
  EXPECT_FALSE(ParseUpdateInfo("<html><head><title>Wi-Fi</title></head><body/></html>")) << "XHTML, no version";
  EXPECT_FALSE(ParseUpdateInfo(Description("<version> </version><download>http://x/g.xml</download>")));
  std::string padded = Description("<version>15</version><whatsnew>" + std::string(kMaxUpdateDescriptionSize, 'x') +
                                   "</whatsnew>");
  EXPECT_FALSE(ParseUpdateInfo(padded));
  // Neither an entity bomb nor an external entity is expanded or fetched.
  EXPECT_FALSE(ParseUpdateInfo("<?xml version=\"1.0\"?><!DOCTYPE u [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
                               "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]><u><version>&b;</version></u>"));
  EXPECT_FALSE(ParseUpdateInfo("<?xml version=\"1.0\"?><!DOCTYPE u [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
                               "<u><whatsnew>&x;</whatsnew></u>"));
}

TEST(UpdateDecision, TheProgramIsComparedByTheBuildAtTheEndOfItsVersion) {
  auto decide = [](const std::string& version, int64_t build) {
    TUpdateInfo info;
    info.Version = version;
    info.Build = VersionBuild(version);
    return DecideUpdate(ukProgram, info, build, 0);
  };
  EXPECT_EQ(decide("2.1.4.630", 623).Code, ucAvailable);
  EXPECT_EQ(decide("2.1.4.600", 623).Code, ucUpToDate);
  EXPECT_EQ(decide("2.1.4.623", 623).Code, ucUpToDate) << "the same build";
  EXPECT_EQ(decide("2.1.4.beta", 623).Code, ucUpToDate) << "no number after the dot: build 0";
  EXPECT_EQ(decide("", 623).Code, ucUpToDate);
  EXPECT_FALSE(decide("2.1.4.630", 623).Download) << "a program is never downloaded";
  EXPECT_EQ(VersionBuild("630"), 630);
  EXPECT_EQ(VersionBuild("2.1."), 0);
  EXPECT_EQ(VersionBuild("1.99999999999999999999999"), 0);
}

TEST(UpdateDecision, AGateListIsComparedByVersionAndNeedsItsMinimumBuild) {
  TUpdateInfo info;
  info.Version = "15";
  TUpdateDecision newer = DecideUpdate(ukGates, info, 623, 14);
  EXPECT_EQ(newer.Code, ucAvailable);
  EXPECT_TRUE(newer.Download);
  EXPECT_EQ(DecideUpdate(ukGates, info, 623, 15).Code, ucUpToDate);
  EXPECT_EQ(DecideUpdate(ukGates, info, 623, 16).Code, ucUpToDate);

  info.MinBuild = 624;
  TUpdateDecision tooOld = DecideUpdate(ukGates, info, 623, 14);
  EXPECT_EQ(tooOld.Code, ucError);
  EXPECT_FALSE(tooOld.Download);
  EXPECT_EQ(tooOld.Message, "Требуется новая версия Parlomix. Обновите версию"_cp);
  EXPECT_EQ(DecideUpdate(ukGates, info, 623, 15).Code, ucUpToDate) << "the build matters only for a newer list";
  EXPECT_EQ(DecideUpdate(ukGates, info, 624, 14).Code, ucAvailable);

  info.Version = "fifteen";
  EXPECT_EQ(DecideUpdate(ukGates, info, 623, 0).Code, ucUpToDate) << "an invalid version reads as 0";
}

TEST(DownloadFileName, TheLastPartOfTheAddressMadeSafe) {
  EXPECT_EQ(DownloadFileName("http://u.example/files/gates.xml.gz"), "gates.xml.gz");
  EXPECT_EQ(DownloadFileName("http://u.example/file.php?a=1&name=setup.exe"), "name=setup.exe");
  EXPECT_EQ(DownloadFileName("http://u.example\\dir\\gates.xml"), "gates.xml");
  EXPECT_EQ(DownloadFileName("http://u.example/"), "") << "nothing after the last slash";
  EXPECT_EQ(DownloadFileName(""), "");
  EXPECT_EQ(DownloadFileName("http://u.example/.."), "");
  EXPECT_EQ(DownloadFileName("http://u.example/."), "");
  EXPECT_EQ(DownloadFileName("http://u.example/x&.."), "");
  EXPECT_EQ(DownloadFileName("http://u.example/..bashrc"), "bashrc");
  EXPECT_EQ(DownloadFileName("http://u.example/a..b...gz"), "a.b.gz");
  EXPECT_EQ(DownloadFileName("http://u.example/ga\r\ntes\0.xml"s), "gates.xml");
  std::string longName = std::string(300, 'n') + ".xml.gz";
  std::string kept = DownloadFileName("http://u.example/" + longName);
  EXPECT_EQ(kept.size(), kMaxDownloadFileName);
  EXPECT_TRUE(kept.ends_with(".xml.gz")) << "the end, with the extension, is kept";
  for (const char* hostile : {"http://x/%2e%2e%2fetc", "http://x/..%2f..%2fpasswd", "http://x/a&../../b"}) {
    std::string name = DownloadFileName(hostile);
    EXPECT_EQ(name.find('/'), std::string::npos) << hostile;
    EXPECT_EQ(name.find(".."), std::string::npos) << hostile;
    EXPECT_NE(name, "") << hostile;
  }
}

TEST(UpdateAddress, OnlyWebAddressesAreFollowed) {
  EXPECT_TRUE(IsWebAddress("http://parlomix.org/download.html"));
  EXPECT_TRUE(IsWebAddress("HTTPS://parlomix.org/"));
  EXPECT_FALSE(IsWebAddress("file:///etc/passwd"));
  EXPECT_FALSE(IsWebAddress("ftp://parlomix.org/setup.exe"));
  EXPECT_FALSE(IsWebAddress("javascript:alert(1)"));
  EXPECT_FALSE(IsWebAddress("http:/x"));
  EXPECT_FALSE(IsWebAddress(""));
}

TEST(UpdateDue, NeverCheckedOrThePeriodHasPassedSinceThatDay) {
  TDateTime today = EncodeDate(2009, 3, 10) + EncodeTime(9, 0, 0);
  EXPECT_TRUE(IsUpdateDue(0, 5, today));
  EXPECT_TRUE(IsUpdateDue(EncodeDate(2009, 3, 5) + EncodeTime(23, 59, 0), 5, today)) << "by the day, not the hour";
  EXPECT_FALSE(IsUpdateDue(EncodeDate(2009, 3, 6), 5, today));
  EXPECT_TRUE(IsUpdateDue(EncodeDate(2009, 3, 6), 4, today));
  EXPECT_TRUE(IsUpdateDue(EncodeDate(2009, 3, 10), 0, today)) << "period 0: every day";
  EXPECT_FALSE(IsUpdateDue(EncodeDate(2009, 3, 11), 0, today)) << "a last date in the future";
}

TEST(WhatsNew, LineBreaksAndFormattingStayAndNothingElseIsMarkUp) {
  EXPECT_EQ(WhatsNewRichText("один\r\nдва\nтри\rчетыре"_cp), "один<br>два<br>три<br>четыре"_cp);
  EXPECT_EQ(WhatsNewRichText("<b>Новое</b>: <I>ускорение</I><br/><ul><li>x</li></ul>"_cp),
            "<b>Новое</b>: <i>ускорение</i><br><ul><li>x</li></ul>"_cp);
  EXPECT_EQ(WhatsNewRichText("<img src=\"file:///etc/passwd\">"), "&lt;img src=\"file:///etc/passwd\"&gt;");
  EXPECT_EQ(WhatsNewRichText("<a href=\"http://evil\">тут</a>"_cp), "&lt;a href=\"http://evil\"&gt;тут&lt;/a&gt;"_cp);
  EXPECT_EQ(WhatsNewRichText("<b onmouseover=x>"), "&lt;b onmouseover=x&gt;");
  EXPECT_EQ(WhatsNewRichText("a < b && c > d"), "a &lt; b &amp;&amp; c &gt; d");
  EXPECT_EQ(WhatsNewRichText("&lt;script&gt;"), "&amp;lt;script&amp;gt;") << "entities are shown, not decoded";
  EXPECT_EQ(WhatsNewRichText("<b"), "&lt;b");
}

}  // namespace
