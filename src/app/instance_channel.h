#pragma once

// The running program's door for later starts: a local socket beside the
// instance lock. A later start hands its archives over through it and so
// brings the running window to the front.

#include <QObject>
#include <QString>

#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;

namespace wingstow {

class InstanceChannel : public QObject {
  Q_OBJECT

 public:
  // socket_path: a file path in a folder only this user may enter.
  explicit InstanceChannel(QString socket_path, QObject* parent = nullptr);
  ~InstanceChannel() override;

  // Starts listening; a socket file left by a dead instance is replaced (the
  // caller holds the instance lock, so no live one owns it). False with the
  // reason in error() when it cannot listen.
  bool listen();
  QString error() const { return error_; }

  // From a later start: hands the archives (absolute paths, maybe none) to
  // the running instance. True once it confirmed receipt.
  static bool send(const QString& socket_path, const std::vector<std::string>& archives,
                   int timeout_ms = 5000);

  // The socket's path for the instance lock at lock_path ("x.lock").
  static QString socket_path_for(const std::string& lock_path);

 signals:
  // A later start called; archives may be empty (it only asks to be seen).
  void received(const std::vector<std::string>& archives);

 private:
  void accept_connections();
  void read_from(QLocalSocket* socket);

  QString path_;
  QString error_;
  QLocalServer* server_;
};

}  // namespace wingstow
