#include "app/instance_channel.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

namespace wingstow {
namespace {

// A message: "wingstow-open N\n", then N bytes of paths, each ended by NUL.
constexpr QByteArrayView greeting = "wingstow-open ";
constexpr QByteArrayView receipt = "ok\n";
// Thousands of paths fit; a client sending more is not a later start.
constexpr qsizetype max_payload = 4 * 1024 * 1024;
constexpr int read_timeout_ms = 5000;

}  // namespace

InstanceChannel::InstanceChannel(QString socket_path, QObject* parent)
    : QObject(parent), path_(std::move(socket_path)), server_(new QLocalServer(this)) {
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &InstanceChannel::accept_connections);
}

InstanceChannel::~InstanceChannel() { server_->close(); }

QString InstanceChannel::socket_path_for(const std::string& lock_path) {
  QString path = QFile::decodeName(QByteArray::fromStdString(lock_path));
  if (path.endsWith(QStringLiteral(".lock"))) path.chop(5);
  return path + QStringLiteral(".socket");
}

bool InstanceChannel::listen() {
  QLocalServer::removeServer(path_);
  if (server_->listen(path_)) return true;
  error_ = path_ + QStringLiteral(": ") + server_->errorString();
  return false;
}

void InstanceChannel::accept_connections() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    socket->setParent(this);
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read_from(socket); });
    // A caller that never finishes its message is dropped.
    QTimer::singleShot(read_timeout_ms, socket, [socket] { socket->abort(); });
    read_from(socket);
  }
}

void InstanceChannel::read_from(QLocalSocket* socket) {
  QByteArray data = socket->property("wingstow_data").toByteArray() + socket->readAll();
  socket->setProperty("wingstow_data", data);
  const qsizetype line_end = data.indexOf('\n');
  if (line_end < 0) {
    if (data.size() > 64) socket->abort();
    return;
  }
  bool number = false;
  const qsizetype size =
      data.startsWith(greeting)
          ? data.mid(greeting.size(), line_end - greeting.size()).toLongLong(&number)
          : 0;
  if (!number || size < 0 || size > max_payload) {
    socket->abort();
    return;
  }
  if (data.size() - line_end - 1 < size) return;  // more to come
  const QByteArray payload = data.mid(line_end + 1, size);
  socket->setProperty("wingstow_data", QByteArray());
  std::vector<std::string> archives;
  for (const QByteArray& path : payload.split('\0'))
    if (!path.isEmpty()) archives.push_back(path.toStdString());
  socket->write(receipt.data(), receipt.size());
  socket->flush();
  socket->disconnectFromServer();
  emit received(archives);
}

bool InstanceChannel::send(const QString& socket_path, const std::vector<std::string>& archives,
                           int timeout_ms) {
  QByteArray payload;
  for (const std::string& archive : archives) {
    payload.append(archive.data(), qsizetype(archive.size()));
    payload.append('\0');
  }
  if (payload.size() > max_payload) return false;
  QLocalSocket socket;
  socket.connectToServer(socket_path);
  if (!socket.waitForConnected(timeout_ms)) return false;
  socket.write(greeting.toByteArray() + QByteArray::number(payload.size()) + '\n' + payload);
  if (!socket.waitForBytesWritten(timeout_ms)) return false;
  QByteArray answer;
  while (answer.size() < receipt.size() && socket.waitForReadyRead(timeout_ms))
    answer += socket.readAll();
  return answer.startsWith(receipt);
}

}  // namespace wingstow
