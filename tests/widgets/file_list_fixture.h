#pragma once

// What the file list's action tests share: a temporary home, so that the
// trash used is never the user's; src/ and dst/ made afresh for each test;
// and a list on screen whose dialogs record what they are asked.

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "widgets/file_list_view.h"

namespace wingstow::test {

using wingstow::FileListView;

class FileListFixture {
 protected:
  // initTestCase, init and cleanup of the tests.
  void set_up_home();
  void set_up();
  void tear_down();

  int row(const QString& caption) const;
  QTreeWidgetItem* entry(const QString& caption) const;
  void highlight(const QStringList& captions);
  QLineEdit* editor() const;
  bool editing() const;
  static void write(const QString& path, const QByteArray& content);
  static QByteArray read(const QString& path);

  std::unique_ptr<QTemporaryDir> home;
  std::unique_ptr<QTemporaryDir> temp;
  QString root;  // with trailing separator
  std::unique_ptr<FileListView> view;
  QStringList warnings;
  QStringList questions;
  QStringList opened;
  bool answer = true;
};

inline void FileListFixture::set_up_home() {
  // The trash used is the one of this temporary home, never the user's.
  home = std::make_unique<QTemporaryDir>();
  QVERIFY(home->isValid());
  qputenv("HOME", home->path().toUtf8());
  qputenv("XDG_DATA_HOME", (home->path() + "/.local/share").toUtf8());
}

inline void FileListFixture::set_up() {
  temp = std::make_unique<QTemporaryDir>();
  root = temp->path() + '/';
  for (const char* folder : {"src/Sub/deep", "dst"}) QVERIFY(QDir(root).mkpath(folder));
  write(root + "src/a.txt", "A");
  write(root + "src/b.cfg", "B");
  write(root + "src/Sub/inner.cfg", "inner");
  write(root + "src/Sub/deep/x.cfg", "x");
  write(root + "dst/a.txt", "old");
  QGuiApplication::clipboard()->clear();

  warnings.clear();
  questions.clear();
  opened.clear();
  answer = true;
  view = std::make_unique<FileListView>();
  view->warn = [this](const QString& message) { warnings << message; };
  view->confirm = [this](const QString& question) {
    questions << question;
    return answer;
  };
  view->openFile = [this](const QString& path) {
    opened << path;
    return true;
  };
  view->resize(700, 400);
  view->show();
  view->activateWindow();
  QVERIFY(QTest::qWaitForWindowExposed(view.get()));
  view->setFocus();
}

inline void FileListFixture::tear_down() {
  view.reset();
  temp.reset();
}

inline int FileListFixture::row(const QString& caption) const {
  for (int i = 0; i < view->itemCount(); ++i)
    if (view->itemCaption(i) == caption) return i;
  return -1;
}

inline QTreeWidgetItem* FileListFixture::entry(const QString& caption) const {
  return view->topLevelItem(row(caption));
}

inline void FileListFixture::highlight(const QStringList& captions) {
  view->clearSelection();
  for (const QString& caption : captions) {
    QVERIFY2(row(caption) >= 0, qPrintable(caption));
    view->setItemHighlighted(row(caption), true);
  }
  view->setCurrentItem(entry(captions.back()), 0, QItemSelectionModel::NoUpdate);
}

inline QLineEdit* FileListFixture::editor() const {
  return qobject_cast<QLineEdit*>(QApplication::focusWidget());
}

inline bool FileListFixture::editing() const {
  const auto* line = view->findChild<QLineEdit*>();
  return line && line->isVisible();
}

inline void FileListFixture::write(const QString& path, const QByteArray& content) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(content);
}

inline QByteArray FileListFixture::read(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

}  // namespace wingstow::test
