#include "app/help_window.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace wingstow {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("HelpWindow");
  setWindowTitle("Wingstow Help");
  resize(640, 560);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  browser_ = new QTextBrowser(this);
  browser_->setObjectName("HelpBrowser");
  browser_->setOpenExternalLinks(true);
  layout->addWidget(browser_);
}

void HelpWindow::open(const QString& file) {
  file_ = file;
  if (QFileInfo(file).isReadable()) {
    browser_->setSource(QUrl::fromLocalFile(file));
  } else {
    browser_->setHtml(QString("<h2>Help not found</h2><p>The help file <b>%1</b> cannot be "
                              "read.</p>")
                          .arg(file.toHtmlEscaped()));
  }
  show();
  raise();
  activateWindow();
}

}  // namespace wingstow
