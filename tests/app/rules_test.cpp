// The main window's decisions that need neither a display nor a database:
// the command line, the after-send bookkeeping, template text, message file
// names, links and help, tray behaviour.
#include <gtest/gtest.h>

#include "aftersend.h"
#include "cmdline.h"
#include "cp1251.h"
#include "history.h"
#include "messagefiles.h"
#include "templatetext.h"
#include "weblinks.h"
#include "windowpolicy.h"

namespace {

using Args = std::vector<std::string>;

TEST(CommandLine, DequotesAValueWithDoubledQuotesInside) {
  EXPECT_EQ(DequoteSwitchValue("\"C:\\My Documents\\gate.xml\""), "C:\\My Documents\\gate.xml");
  EXPECT_EQ(DequoteSwitchValue("\"say \"\"hi\"\"\""), "say \"hi\"");
  EXPECT_EQ(DequoteSwitchValue("plain path"), "plain path");
  EXPECT_EQ(DequoteSwitchValue("\"unclosed"), "unclosed");
  EXPECT_EQ(DequoteSwitchValue("\"a\"b"), "a");  // text after the closing quote is dropped
  EXPECT_EQ(DequoteSwitchValue(""), "");
}

TEST(CommandLine, TheLastProfileSwitchWinsAndAnyLetterCaseCounts) {
  EXPECT_EQ(FindProfileSwitch({}), std::nullopt);
  EXPECT_EQ(FindProfileSwitch({"-p/one", "/P\"/two with blank\""}), "/two with blank");
  EXPECT_EQ(FindProfileSwitch({"/P\"/my profile\"", "-ig/x.xml"}), "/my profile");
  // Whatever follows the letter counts.
  EXPECT_EQ(FindProfileSwitch({"-platform"}), "latform");
}

TEST(CommandLine, ShortAndUnswitchedArgumentsAreIgnored) {
  EXPECT_EQ(FindProfileSwitch({"-", "/", "p", "xp/folder", "+p/folder"}), std::nullopt);
  EXPECT_TRUE(FindImportSwitches({"-", "/i", "ig/file", "xig/file", "-i"}).empty());
  EXPECT_EQ(FindProfileSwitch({"-p"}), "");
}

TEST(CommandLine, ImportSwitchesKeepTheirOrderAndKind) {
  Args args = {"-IG\"/a b/gate.xml\"", "-p/profile", "/il/pack.xml.gz", "-ix/other", "/iG/second.xml"};
  std::vector<TImportSwitch> expected = {{false, "/a b/gate.xml"}, {true, "/pack.xml.gz"}, {false, "/second.xml"}};
  EXPECT_EQ(FindImportSwitches(args), expected);
}

// Every status of a finished send under every combination of the options
// that decide its bookkeeping.
TEST(AfterSendPlan, FollowsTheStatusAndTheOptions) {
  for (int bits = 0; bits < 32; ++bits) {
    TAfterSendOptions o;
    o.logStats = bits & 1;
    o.addToHistory = bits & 2;
    o.errorMsgToHistory = bits & 4;
    o.clearAfterSend = bits & 8;
    o.clearOnlyText = bits & 16;
    for (uint8_t status : {0, 1, 2, 4, 5}) {
      SCOPED_TRACE("status " + std::to_string(status) + " options " + std::to_string(bits));
      TAfterSendPlan p = PlanAfterSend(status, o);
      bool cancelled = status == 4 || status == 5;
      EXPECT_EQ(p.logStats, o.logStats && !cancelled);
      EXPECT_EQ(p.statsError, status == 2);
      bool done = status == 0 || status == 1 || status == 5 || (status == 2 && o.errorMsgToHistory);
      EXPECT_EQ(p.done, done);
      EXPECT_EQ(p.addHistory, done && o.addToHistory);
      if (p.addHistory) {
        EXPECT_EQ(p.deliveryStatus, DeliveryStatusOfSend(status));
      }
      // A failed message is cleared only when the history keeps it.
      bool clears = done && o.clearAfterSend && (status != 2 || o.addToHistory);
      TClearKind expected = !clears ? TClearKind::None : o.clearOnlyText ? TClearKind::Text : TClearKind::All;
      EXPECT_EQ(p.clear, expected);
    }
  }
}

TEST(AfterSendPlan, MapsEachSendStatusToItsHistoryStatus) {
  TAfterSendOptions o;
  EXPECT_EQ(PlanAfterSend(0, o).deliveryStatus, dsNotSupported);
  EXPECT_EQ(PlanAfterSend(1, o).deliveryStatus, dsDelivered);
  EXPECT_EQ(PlanAfterSend(5, o).deliveryStatus, dsCancelled);
  o.errorMsgToHistory = true;
  EXPECT_EQ(PlanAfterSend(2, o).deliveryStatus, dsNotDelivered);
}

TEST(TemplateText, TheCaretGoesWhereTheFirstBarStood) {
  EXPECT_EQ(PrepareTemplateText(""), std::nullopt);
  auto late = PrepareTemplateText("Опаздываю, буду в |"_cp);
  ASSERT_TRUE(late);
  EXPECT_EQ(late->text, "Опаздываю, буду в "_cp);
  EXPECT_EQ(late->caret, late->text.size());
  auto two = PrepareTemplateText("ab|cd|ef");
  EXPECT_EQ(two->text, "abcdef");
  EXPECT_EQ(two->caret, 2u);
  auto none = PrepareTemplateText("no bar");
  EXPECT_EQ(none->caret, 6u);
  auto onlyBars = PrepareTemplateText("||");
  EXPECT_EQ(onlyBars->text, "");
  EXPECT_EQ(onlyBars->caret, 0u);
}

TEST(MessageFileNames, TheExtensionIsAddedOnlyWhenThePathHasNoDot) {
  EXPECT_EQ(WithMessageFileExtension("/home/user/note"), "/home/user/note.plmx");
  EXPECT_EQ(WithMessageFileExtension("/home/ivan.petrov/note"), "/home/ivan.petrov/note");
  EXPECT_EQ(WithMessageFileExtension("/home/user/note.txt"), "/home/user/note.txt");
  EXPECT_EQ(WithMessageFileExtension("/home/user/.hidden"), "/home/user/.hidden");
  EXPECT_EQ(WithMessageFileExtension("note"), "note.plmx");
  EXPECT_EQ(MessageFileFilter(), "Файлы сообщений (*.plmx)|*.plmx|Все файлы (*.*)|*.*"_cp);
}

TEST(WebLinks, OnlyWebAndMailAddressesOpen) {
  for (const char* url : {"http://parlomix.org", "https://parlomix.org/help.html?x=1", "HTTP://PARLOMIX.ORG/",
                          "mailto:support@parlomix.org"})
    EXPECT_TRUE(IsOpenableURL(url)) << url;
  for (const char* url : {"", "file:///etc/passwd", "javascript:alert(1)", "ftp://host/file", "http://", "mailto:",
                          "/usr/bin/xterm", "smb://host/share", "data:text/html,<b>x</b>", "http//missing.colon",
                          "vbscript:x", "http://exa mple.org/"})
    EXPECT_FALSE(IsOpenableURL(url)) << url;
}

TEST(WebLinks, HelpContextsJoinTheQueryRightly) {
  EXPECT_EQ(HelpContextURL("http://parlomix.org/help.html", 2000), "http://parlomix.org/help.html?content=2000");
  EXPECT_EQ(HelpContextURL("http://parlomix.org/help.php?lang=ru", 7001),
            "http://parlomix.org/help.php?lang=ru&content=7001");
  EXPECT_EQ(hcMainWindow, 1000);
  EXPECT_EQ(hcHistory, 2000);
  EXPECT_EQ(hcPhoneBook, 3000);
  EXPECT_EQ(hcTemplates, 4000);
  EXPECT_EQ(hcContactEditor, 5000);
  EXPECT_EQ(hcOptions, 6000);
  EXPECT_EQ(hcSendWindowControl, 7001);
}

TEST(TrayRules, TheWindowHidesOnlyWhereATrayCanBringItBack) {
  EXPECT_TRUE(CloseHidesToTray(false, true, true));
  EXPECT_FALSE(CloseHidesToTray(true, true, true));   // the exit command
  EXPECT_FALSE(CloseHidesToTray(false, true, false));  // no tray on the desktop
  EXPECT_FALSE(CloseHidesToTray(false, false, true));
  EXPECT_TRUE(MinimizeHidesToTray(true, true));
  EXPECT_FALSE(MinimizeHidesToTray(true, false));
  EXPECT_TRUE(TrayClickToggles(false, false));
  EXPECT_FALSE(TrayClickToggles(true, false));
  EXPECT_TRUE(TrayClickToggles(true, true));
  EXPECT_FALSE(TrayClickToggles(false, true));
  EXPECT_TRUE(TrayIconVisible(false, false));
  EXPECT_FALSE(TrayIconVisible(true, false));
  EXPECT_TRUE(TrayIconVisible(true, true));
}

}  // namespace
