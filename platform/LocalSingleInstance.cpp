#include "platform/LocalSingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include "core/BuildProfile.h"

namespace amppanel {
namespace {

constexpr int kAnswerWaitMs = 5000;
const QByteArray kRequest = "front\n";
const QByteArray kDone = "done\n";

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString RuntimeFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty()) folder = QDir::tempPath();
  return folder;
}

}  // namespace

LocalSingleInstance::LocalSingleInstance(const BuildProfile& profile, QString folder) {
  if (folder.isEmpty()) folder = RuntimeFolder();
  QDir().mkpath(folder);
  lockPath_ = QDir(folder).filePath(Text(profile.mutexName) + QStringLiteral(".lock"));
  socketPath_ = QDir(folder).filePath(Text(profile.bringToFrontMessage));
}

LocalSingleInstance::~LocalSingleInstance() { Release(); }

bool LocalSingleInstance::Acquire() {
  lock_ = std::make_unique<QLockFile>(lockPath_);
  // A lock left by a copy that crashed is taken over (QLockFile checks that
  // its process is gone), so a crash never blocks the next start.
  if (!lock_->tryLock(0)) {
    lock_.reset();
    return false;
  }
  return true;
}

bool LocalSingleInstance::BringFirstToFront() {
  // The first copy may be between taking its lock and listening: try for a while.
  for (int attempt = 0; attempt < 20; ++attempt) {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (socket.waitForConnected(250)) {
      socket.write(kRequest);
      if (!socket.waitForBytesWritten(kAnswerWaitMs)) return false;
      // Like a sent window message: back only once the first copy has acted.
      while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(kAnswerWaitMs)) return false;
      }
      return socket.readLine() == kDone;
    }
    QThread::msleep(50);
  }
  return false;
}

void LocalSingleInstance::Listen(InstanceHandlers handlers) {
  handlers_ = std::move(handlers);
  if (server_ != nullptr) return;
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  // We hold the lock, so a socket file still there belongs to a copy that died.
  QLocalServer::removeServer(socketPath_);
  server_->listen(socketPath_);
  connect(server_, &QLocalServer::newConnection, this, &LocalSingleInstance::Serve);
}

void LocalSingleInstance::Serve() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      while (socket->canReadLine()) {
        if (socket->readLine() != kRequest) continue;
        if (handlers_.bringToFront) handlers_.bringToFront();
        socket->write(kDone);
        socket->flush();
      }
    });
  }
}

void LocalSingleInstance::PostAutoOpen() {
  QTimer::singleShot(0, this, [this] {
    if (handlers_.autoOpen) handlers_.autoOpen();
  });
}

void LocalSingleInstance::PostAutoConfig() {
  QTimer::singleShot(0, this, [this] {
    if (handlers_.autoConfig) handlers_.autoConfig();
  });
}

void LocalSingleInstance::Release() {
  if (server_ != nullptr) {
    server_->close();
    delete server_;
    server_ = nullptr;
  }
  if (lock_) {
    lock_->unlock();
    lock_.reset();
  }
}

}  // namespace amppanel
