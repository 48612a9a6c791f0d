// One keystroke in the recipient field of the main window, on a large
// profile (10,000 contacts, 100,000 history rows, 1,000 gates with 20 ranges
// each): from the key until the suggestion list is shown and painted, the
// contact matched and the gate list filled for the number. Three queries:
// one letter (about two thirds of the contacts match), a second letter, and
// one digit (names and history numbers holding it). Then the memo at the
// longest message text, one line without a blank: a key that fills it, a
// key it refuses, a Backspace, and a paste of a million characters cut to
// fit. The summary prints the median of each against its target.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QListView>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app_bench.h"
#include "application.h"
#include "corelimits.h"
#include "cp1251.h"
#include "large_profile.h"
#include "options.h"
#include "smsfrm.h"
#include "sqlmgr.h"
#include "support/tempdir.h"
#include "uitext.h"

namespace {

std::map<std::string, std::vector<double>>& Times() {
  static std::map<std::string, std::vector<double>> times;
  return times;
}

// Rows listed, or characters the memo holds afterwards.
std::map<std::string, int>& Matches() {
  static std::map<std::string, int> matches;
  return matches;
}

// The recipient field answers a key within 10 ms; the memo, which lays out
// and counts its whole text, within 100 ms at the longest message text.
constexpr double kRecipientTarget = 0.010, kMemoTarget = 0.100;
std::map<std::string, double>& Targets() {
  static std::map<std::string, double> targets;
  return targets;
}

// One key that writes `text` into the field, as the keyboard sends it.
void Key(QWidget* field, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, text);
  QApplication::sendEvent(field, &press);
  QApplication::sendEvent(field, &release);
}

class Window {
 public:
  Window() {
    setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1);
    ProfileDir = profile_.Path().string() + "/";
    OpenDatabases(ProfileDir + "Parlomix.db3", ProfileDir + "Gates.db3");
    large_profile::Fill();
    CloseDatabases();
    MarkFirstRunDone(ProfileDir);
    frm_ = std::make_unique<TSMSFrm>(std::vector<std::string>{});
    if (frm_->FormCreate() != TSMSFrm::TCreateResult::Running) std::abort();
    frm_->show();
    frm_->activateWindow();
    frm_->cbTo->setFocus();
    QCoreApplication::processEvents();
  }
  TSMSFrm& Frm() { return *frm_; }

 private:
  TempDir profile_, runtime_;
  std::unique_ptr<TSMSFrm> frm_;
};

// Made at the first benchmark, gone before the application object.
std::unique_ptr<Window>& WindowHolder() {
  static std::unique_ptr<Window> window;
  return window;
}

Window& TheWindow() {
  if (!WindowHolder()) WindowHolder() = std::make_unique<Window>();
  return *WindowHolder();
}

// Types `before` untimed, then times the key that writes `key`.
void Keystroke(benchmark::State& state, const char* name, const std::string& before, const std::string& key) {
  TSMSFrm& frm = TheWindow().Frm();
  TSuggestEdit* field = frm.cbTo;
  Targets()[name] = kRecipientTarget;
  for (auto _ : state) {
    field->CloseUp(false);
    field->SetTextNoSuggest("");
    frm.ClearGateList();
    for (QChar c : QStr(before)) Key(field, QString(c));
    QCoreApplication::processEvents();
    auto start = std::chrono::steady_clock::now();
    Key(field, QStr(key));
    QCoreApplication::processEvents();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    Times()[name].push_back(seconds);
  }
  if (!field->DroppedDown()) state.SkipWithError("the list did not open");
  Matches()[name] = field->SuggestItems().rowCount();
  state.counters["rows"] = field->SuggestItems().rowCount();
}

void BM_OneLetter(benchmark::State& state) { Keystroke(state, "one letter", "", "а"_cp); }
void BM_TwoLetters(benchmark::State& state) { Keystroke(state, "two letters", "и"_cp, "в"_cp); }
void BM_OneDigit(benchmark::State& state) { Keystroke(state, "one digit", "", "9"); }
void BM_WholeNumber(benchmark::State& state) { Keystroke(state, "last digit of a number", "7916123456", "7"); }

// The memo holding `length` characters of one line without a blank (the
// text that lays out slowest), the caret at its end, a number with its
// gates as recipient.
void FillMemo(TSMSFrm& frm, int length) {
  if (frm.cbTo->currentText().isEmpty()) {
    frm.cbTo->SetTextNoSuggest("79161234567");
    frm.FillGateList();
  }
  frm.SetMemoText(std::string(length, 'x'));
  frm.mMsg->setFocus();
  frm.mMsg->moveCursor(QTextCursor::End);
  QCoreApplication::processEvents();
}

// Times `step` on the memo holding `length` characters, until the memo has
// been laid out and painted again and the counter and status follow.
template <class Step>
void TimeMemo(benchmark::State& state, const char* name, int length, Step&& step) {
  TSMSFrm& frm = TheWindow().Frm();
  Targets()[name] = kMemoTarget;
  for (auto _ : state) {
    FillMemo(frm, length);
    auto start = std::chrono::steady_clock::now();
    step(frm);
    frm.mMsg->repaint();
    QCoreApplication::processEvents();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    Times()[name].push_back(seconds);
  }
  Matches()[name] = frm.mMsg->document()->characterCount() - 1;
  state.counters["chars"] = Matches()[name];
}

void KeyInto(QWidget* field, Qt::Key key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QApplication::sendEvent(field, &press);
  QApplication::sendEvent(field, &release);
}

const int kLongest = static_cast<int>(kMaxMessageText);

void BM_MemoKeyToMaximum(benchmark::State& state) {
  TimeMemo(state, "memo: key to the maximum", kLongest - 1, [](TSMSFrm& frm) { Key(frm.mMsg, "y"); });
}
void BM_MemoKeyAtMaximum(benchmark::State& state) {
  TimeMemo(state, "memo: key at the maximum", kLongest, [](TSMSFrm& frm) { Key(frm.mMsg, "y"); });
}
void BM_MemoBackspaceAtMaximum(benchmark::State& state) {
  TimeMemo(state, "memo: Backspace at the maximum", kLongest,
           [](TSMSFrm& frm) { KeyInto(frm.mMsg, Qt::Key_Backspace); });
}
void BM_MemoPaste(benchmark::State& state) {
  QApplication::clipboard()->setText(QString(1000000, 'z'));
  TimeMemo(state, "memo: paste of 1,000,000", 0, [](TSMSFrm& frm) { frm.mMsg->paste(); });
}

}  // namespace

BENCHMARK(BM_OneLetter)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_TwoLetters)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_OneDigit)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_WholeNumber)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_MemoKeyToMaximum)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_MemoKeyAtMaximum)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_MemoBackspaceAtMaximum)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_MemoPaste)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char** argv) {
  PrepareWindowBench();
  int qtArgc = 1;
  TParlomixApp app(qtArgc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  WindowHolder().reset();

  std::printf("\nOne keystroke in the recipient field (rows listed) or the memo (characters held), %d contacts, "
              "%d history rows, %d gates:\n",
              large_profile::kContacts, large_profile::kHistoryRows, large_profile::kGates);
  for (auto& [name, times] : Times()) {
    std::sort(times.begin(), times.end());
    double best = times.front(), median = times[times.size() / 2], target = Targets()[name];
    std::printf("  %-32s %6d  best %7.2f ms  median %7.2f ms  %s (< %.0f ms)\n", name.c_str(), Matches()[name],
                best * 1000, median * 1000, median < target ? "within target" : "TARGET MISSED", target * 1000);
  }
  std::fflush(stdout);
  return 0;
}
