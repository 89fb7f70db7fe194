#include "ui/single_instance.h"

#include <QCryptographicHash>
#include <QLocalSocket>
#include <unistd.h>

namespace kalbor {

TSingleInstance::TSingleInstance(const QString& title, const std::string& program_folder) {
  QString user = qEnvironmentVariable("USER");
  if (user.isEmpty()) user = QString::number(getuid());
  name_ = title + "-" + user;
  // A short digest keeps the socket's path within its length limit.
  if (!program_folder.empty())
    name_ += "-" + QString::fromLatin1(QCryptographicHash::hash(
                                           QByteArray::fromStdString(program_folder),
                                           QCryptographicHash::Sha256)
                                           .toHex()
                                           .left(16));
}

bool TSingleInstance::SignalRunningCopy() {
  QLocalSocket socket;
  socket.connectToServer(name_);
  if (!socket.waitForConnected(500)) return false;
  socket.write("show\n");
  socket.waitForBytesWritten(500);
  socket.disconnectFromServer();
  return true;
}

bool TSingleInstance::Listen(std::function<void()> show_window) {
  show_window_ = std::move(show_window);
  // A socket left behind by a copy that ended abnormally is stale: nobody
  // answered on it, so it can go.
  QLocalServer::removeServer(name_);
  if (!server_.listen(name_)) return false;
  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* peer = server_.nextPendingConnection()) {
      connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
      if (show_window_) show_window_();
    }
  });
  return true;
}

}  // namespace kalbor
