// One copy per program and user session without a window system's help: a
// lock file named after the program's instance name in the runtime folder, and
// a local socket named after its bring-to-front message through which a second
// copy asks the first to show itself.
#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

#include "platform/SingleInstance.h"

class QLocalServer;

namespace amppanel {

class LocalSingleInstance final : public QObject, public SingleInstance {
  Q_OBJECT

 public:
  // `folder`: where the lock and the socket live; empty for the user's runtime folder.
  explicit LocalSingleInstance(const BuildProfile& profile, QString folder = {});
  ~LocalSingleInstance() override;

  bool Acquire() override;
  bool BringFirstToFront() override;
  void Listen(InstanceHandlers handlers) override;
  void PostAutoOpen() override;
  void PostAutoConfig() override;
  void Release() override;

  QString LockPath() const { return lockPath_; }
  QString SocketPath() const { return socketPath_; }

 private:
  void Serve();

  QString lockPath_;
  QString socketPath_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer* server_ = nullptr;
  InstanceHandlers handlers_;
};

}  // namespace amppanel
