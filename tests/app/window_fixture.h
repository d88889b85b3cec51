#pragma once

// Helpers of the window tests: a program folder, a simulator tree, and a way
// to act on the modal window that a handler is about to open.

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>

#include "platform/ini_file.h"

namespace wingstow::test {

// Runs action on the next modal window that opens (the chooser, a dialog),
// from inside its event loop.
inline void on_next_modal(std::function<void(QWidget*)> action) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, action] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      action(modal);
    }
  });
  timer->start();
}

inline std::string folder_with_sep(const QTemporaryDir& dir, const QString& name = {}) {
  QString path = dir.path() + "/" + name;
  if (!path.endsWith('/')) path += '/';
  QDir().mkpath(path);
  return path.toStdString();
}

// A simulator root holding its six standard folders, spelled as Wine trees
// spell them; no trailing separator.
inline QString make_simulator(const QTemporaryDir& dir, const QString& name) {
  const QString root = dir.path() + "/" + name;
  for (const char* sub : {"Aircraft", "Gauges", "Sound", "Effects", "Modules", "Flights"})
    QDir().mkpath(root + "/" + sub);
  return root;
}

// A program folder in dir whose settings select FS 2004 at a fresh simulator
// tree "FS9"; returns the simulator root with its trailing separator.
inline std::string ready_for_fs2004(const QTemporaryDir& dir, const std::string& program) {
  const std::string fs = make_simulator(dir, "FS9").toStdString() + "/";
  platform::IniFile ini(program + "planeyard.ini");
  ini.write("main_path", "fs_path_2004", fs);
  ini.write("main_path", "fs_start", "fs2004");
  return fs;
}

}  // namespace wingstow::test
