#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;

namespace wingstow {

// Where the help page file is read from: the file itself when it can be read
// (beside the executable: a build tree or a portable copy), else the copy of
// that name an install puts in <prefix>/share/wingstow/help/ for a file in
// <prefix>/bin/. The file itself when neither can be read.
QString help_page_file(const QString& file);

// The program's help viewer: the help page beside the program (or where it
// was installed), in a window of its own that runs on beside the main window
// until "exit".
class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  // Shows the help page file, as help_page_file() finds it (contents first);
  // a missing or unreadable file is said so in the viewer itself.
  void open(const QString& file);
  QString shownFile() const { return file_; }
  QTextBrowser* browser() const { return browser_; }

 private:
  QTextBrowser* browser_;
  QString file_;
};

}  // namespace wingstow
