#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;

namespace wingstow {

// The program's help viewer: the help page beside the program, in a window
// of its own that runs on beside the main window until "exit".
class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  // Shows the help page file (contents first); a missing or unreadable file
  // is said so in the viewer itself.
  void open(const QString& file);
  QString shownFile() const { return file_; }
  QTextBrowser* browser() const { return browser_; }

 private:
  QTextBrowser* browser_;
  QString file_;
};

}  // namespace wingstow
