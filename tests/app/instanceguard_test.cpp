// The single-instance guard: who holds it, what a later copy hands over,
// and what it does with requests that are not ours.
#include "instanceguard.h"

#include <QLocalSocket>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/qtwait.h"
#include "applimits.h"
#include "support/tempdir.h"
#include "uitext.h"

namespace {

struct Received {
  int count = 0;
  QString token;
  QStringList args;
};

class InstanceGuard : public ::testing::Test {
 protected:
  TempDir dir;
  QString folder = QPath(dir.Path().string());

  // Records what `guard` is asked.
  std::shared_ptr<Received> Watch(TInstanceGuard& guard) {
    auto received = std::make_shared<Received>();
    QObject::connect(&guard, &TInstanceGuard::activationRequested, &guard,
                     [received](const QString& token, const QStringList& args) {
                       ++received->count;
                       received->token = token;
                       received->args = args;
                     });
    return received;
  }
  // Connects to the guard's socket and writes `bytes` as another copy would.
  void Send(const QByteArray& bytes) {
    QLocalSocket socket;
    socket.connectToServer(folder + "/parlomix.socket");
    ASSERT_TRUE(socket.waitForConnected(1000));
    socket.write(bytes);
    socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
  }
};

TEST(ActivationMessage, RoundTripsArgumentsOfAnyText) {
  TActivation a{"token-1", {"-ig/home/u/my gate.xml", QString::fromUtf8("-p/дом/профиль"), "line\nbreak", "%41", ""}};
  EXPECT_EQ(DecodeActivation(EncodeActivation(a)), a);
  TActivation empty;
  EXPECT_EQ(DecodeActivation(EncodeActivation(empty)), empty);
}

TEST(ActivationMessage, AnythingElseIsRefused) {
  QByteArray good = EncodeActivation({"t", {"-ig/x"}});
  EXPECT_EQ(DecodeActivation(""), std::nullopt);
  EXPECT_EQ(DecodeActivation("GET / HTTP/1.0\r\n\r\n"), std::nullopt);
  EXPECT_EQ(DecodeActivation(good.left(good.size() - 1)), std::nullopt);  // cut short
  EXPECT_EQ(DecodeActivation("parlomix-activate 2\nt\n"), std::nullopt);
  EXPECT_EQ(DecodeActivation("parlomix-activate 1\n"), std::nullopt);
  QByteArray huge = "parlomix-activate 1\n\n" + QByteArray(kMaxInstanceMessageSize, 'a') + "\n";
  EXPECT_EQ(DecodeActivation(huge), std::nullopt);
}

TEST_F(InstanceGuard, OnlyOneHoldsItAndTheNextTakesItOver) {
  auto first = std::make_unique<TInstanceGuard>(folder);
  EXPECT_TRUE(first->Claim());
  EXPECT_TRUE(first->Claim());  // again: still held
  TInstanceGuard second(folder);
  EXPECT_FALSE(second.Claim());
  EXPECT_FALSE(second.Holding());
  first.reset();
  EXPECT_TRUE(second.Claim());
  EXPECT_TRUE(second.Holding());
}

TEST_F(InstanceGuard, ALaterCopyHandsOverItsCommandLine) {
  TInstanceGuard running(folder);
  ASSERT_TRUE(running.Claim());
  auto received = Watch(running);
  TInstanceGuard later(folder);
  ASSERT_FALSE(later.Claim());
  ASSERT_TRUE(later.ActivateOther({"wayland-token", {"-ig/tmp/gate.xml", "-il\"/tmp/a b.gz\""}}));
  ASSERT_TRUE(WaitUntil([&] { return received->count == 1; }));
  EXPECT_EQ(received->token, "wayland-token");
  EXPECT_EQ(received->args, QStringList({"-ig/tmp/gate.xml", "-il\"/tmp/a b.gz\""}));
}

TEST_F(InstanceGuard, RequestsThatAreNotOursAreDropped) {
  TInstanceGuard running(folder);
  ASSERT_TRUE(running.Claim());
  auto received = Watch(running);
  Send("garbage\n");
  Send(QByteArray(kMaxInstanceMessageSize + 10, '\n'));
  Send(EncodeActivation({"", {"-ig/ok"}}));
  ASSERT_TRUE(WaitUntil([&] { return received->count == 1; }));
  EXPECT_EQ(received->args, QStringList({"-ig/ok"}));
  WaitUntil([] { return false; }, 200);
  EXPECT_EQ(received->count, 1);
}

TEST_F(InstanceGuard, ACopyThatSaysNothingIsDroppedInTime) {
  TInstanceGuard running(folder);
  ASSERT_TRUE(running.Claim());
  auto received = Watch(running);
  QLocalSocket silent;
  silent.connectToServer(folder + "/parlomix.socket");
  ASSERT_TRUE(silent.waitForConnected(1000));
  silent.write(EncodeActivation({"", {"-ig/late"}}).left(10));
  silent.flush();
  EXPECT_TRUE(WaitUntil([&] { return silent.state() == QLocalSocket::UnconnectedState; }, kInstanceReadTimeoutMs + 2000));
  EXPECT_EQ(received->count, 0);
}

TEST_F(InstanceGuard, NobodyToHandOverToIsNotWaitedForLong) {
  TInstanceGuard later(folder);
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(later.ActivateOther({"", {}}));
  EXPECT_LT(clock.elapsed(), kInstanceConnectTimeoutMs + 2000);
  TInstanceGuard off{QString()};
  EXPECT_TRUE(off.Claim());
  EXPECT_FALSE(off.ActivateOther({"", {}}));
}

TEST_F(InstanceGuard, OnlyAPrivateRuntimeFolderIsUsed) {
  std::string saved = getenv("XDG_RUNTIME_DIR") ? getenv("XDG_RUNTIME_DIR") : "";
  chmod(dir.Path().c_str(), 0700);
  setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
  EXPECT_EQ(TInstanceGuard::DefaultFolder(), folder);
  chmod(dir.Path().c_str(), 0755);  // others could replace the socket
  QString fallback = TInstanceGuard::DefaultFolder();
  EXPECT_NE(fallback, folder);
  EXPECT_TRUE(fallback.isEmpty() || fallback.endsWith("/parlomix-" + QString::number(getuid())));
  if (saved.empty())
    unsetenv("XDG_RUNTIME_DIR");
  else
    setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

}  // namespace
