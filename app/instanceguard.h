// One running copy per user: the first copy holds a lock file and listens on
// a local socket, both in the user's private runtime folder. A later copy
// reaches it there to bring its window to the front and hand over its
// command line. The lock names the process that holds it, so the lock of a
// copy that crashed is taken over by the next start.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QLocalServer;
class QLocalSocket;
class QLockFile;

// What a later copy hands over.
struct TActivation {
  QString token;  // the desktop's activation token for the later start, may be empty
  QStringList args;
  bool operator==(const TActivation&) const = default;
};

// The bytes of an activation request, and back; nullopt for anything that
// is not a request of ours.
QByteArray EncodeActivation(const TActivation& activation);
std::optional<TActivation> DecodeActivation(const QByteArray& bytes);

class TInstanceGuard : public QObject {
  Q_OBJECT

 public:
  // `folder` holds the lock and the socket; empty leaves the guard off
  // (every Claim succeeds, nothing is listened to).
  explicit TInstanceGuard(QString folder, QObject* parent = nullptr);
  ~TInstanceGuard() override;

  // The user's runtime folder ($XDG_RUNTIME_DIR), or a private folder of
  // this user under the temporary folder; empty when neither can be had
  // safely (a folder there owned by someone else, or open to others).
  static QString DefaultFolder();

  // Takes the lock and listens unless another running copy holds it. True
  // when this copy holds it (now or already) or the guard is off.
  bool Claim();
  bool Holding() const { return holding_; }

  // Hands a request to the copy that holds the lock; true when it took it.
  // Gives up after kInstanceConnectTimeoutMs.
  bool ActivateOther(const TActivation& activation) const;

  // The activation token the desktop gave this process, for the copy it
  // is handed to.
  static QString OwnActivationToken();

 signals:
  // A later copy asked this one to come to the front.
  void activationRequested(const QString& token, const QStringList& args);

 private:
  void Accept();
  void Receive(QLocalSocket* socket);

  QString folder_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer* server_ = nullptr;
  bool holding_ = false;
};
