#include "instanceguard.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>
#include <QTimer>
#include <sys/stat.h>
#include <unistd.h>

#include "applimits.h"

namespace {

constexpr char kMagic[] = "parlomix-activate 1";

QString LockPath(const QString& folder) { return folder + "/parlomix.lock"; }
QString SocketPath(const QString& folder) { return folder + "/parlomix.socket"; }

// A folder only this user can enter: the lock and the socket must not be
// reachable, or replaceable, by anyone else.
bool IsPrivateFolder(const QString& folder) {
  struct stat st {};
  QByteArray path = QFile::encodeName(folder);
  return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
         (st.st_mode & 077) == 0;
}

}  // namespace

QByteArray EncodeActivation(const TActivation& activation) {
  QByteArray bytes = QByteArray(kMagic) + "\n" + activation.token.toUtf8().toPercentEncoding() + "\n";
  for (const QString& arg : activation.args) bytes += arg.toUtf8().toPercentEncoding() + "\n";
  return bytes;
}

std::optional<TActivation> DecodeActivation(const QByteArray& bytes) {
  if (bytes.size() > static_cast<qsizetype>(kMaxInstanceMessageSize) || !bytes.endsWith('\n')) return std::nullopt;
  QList<QByteArray> lines = bytes.left(bytes.size() - 1).split('\n');
  if (lines.size() < 2 || lines[0] != kMagic) return std::nullopt;
  TActivation activation;
  activation.token = QString::fromUtf8(QByteArray::fromPercentEncoding(lines[1]));
  for (qsizetype i = 2; i < lines.size(); ++i) activation.args << QString::fromUtf8(QByteArray::fromPercentEncoding(lines[i]));
  return activation;
}

TInstanceGuard::TInstanceGuard(QString folder, QObject* parent) : QObject(parent), folder_(std::move(folder)) {}

TInstanceGuard::~TInstanceGuard() {
  if (server_) server_->close();
  if (lock_) lock_->unlock();
}

QString TInstanceGuard::DefaultFolder() {
  QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && IsPrivateFolder(runtime)) return runtime;
  QString own = QDir::tempPath() + "/parlomix-" + QString::number(::getuid());
  QByteArray path = QFile::encodeName(own);
  ::mkdir(path.constData(), 0700);
  return IsPrivateFolder(own) ? own : QString();
}

QString TInstanceGuard::OwnActivationToken() {
  QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
  return token.isEmpty() ? qEnvironmentVariable("DESKTOP_STARTUP_ID") : token;
}

bool TInstanceGuard::Claim() {
  if (holding_ || folder_.isEmpty()) return true;
  auto lock = std::make_unique<QLockFile>(LockPath(folder_));
  // Staleness is judged by the holder's process alone: a copy that runs
  // for weeks keeps its lock, one that crashed loses it at once.
  lock->setStaleLockTime(0);
  if (!lock->tryLock(0)) return false;
  lock_ = std::move(lock);
  holding_ = true;
  // A socket left by a copy that crashed would refuse the listen.
  QLocalServer::removeServer(SocketPath(folder_));
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &TInstanceGuard::Accept);
  server_->listen(SocketPath(folder_));
  return true;
}

void TInstanceGuard::Accept() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) Receive(socket);
}

void TInstanceGuard::Receive(QLocalSocket* socket) {
  struct Reading {
    QByteArray bytes;
    bool dropped = false;  // too slow or too long: what came is not used
  };
  auto reading = std::make_shared<Reading>();
  auto drop = [socket, reading] {
    reading->dropped = true;
    socket->abort();
  };
  // A copy that connects and then says nothing is dropped in time.
  QTimer::singleShot(kInstanceReadTimeoutMs, socket, drop);
  connect(socket, &QLocalSocket::readyRead, socket, [socket, reading, drop] {
    reading->bytes += socket->readAll();
    if (reading->bytes.size() > static_cast<qsizetype>(kMaxInstanceMessageSize)) drop();
  });
  connect(socket, &QLocalSocket::disconnected, this, [this, socket, reading] {
    if (!reading->dropped) reading->bytes += socket->readAll();
    socket->deleteLater();
    if (reading->dropped) return;
    if (auto activation = DecodeActivation(reading->bytes)) emit activationRequested(activation->token, activation->args);
  });
}

bool TInstanceGuard::ActivateOther(const TActivation& activation) const {
  if (folder_.isEmpty()) return false;
  QElapsedTimer clock;
  clock.start();
  QLocalSocket socket;
  // The holder may be between taking its lock and listening.
  for (;;) {
    socket.connectToServer(SocketPath(folder_));
    if (socket.waitForConnected(kInstanceConnectTimeoutMs)) break;
    if (clock.elapsed() >= kInstanceConnectTimeoutMs) return false;
    QThread::msleep(50);
  }
  socket.write(EncodeActivation(activation));
  if (!socket.waitForBytesWritten(kInstanceConnectTimeoutMs)) return false;
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(kInstanceConnectTimeoutMs);
  return true;
}
