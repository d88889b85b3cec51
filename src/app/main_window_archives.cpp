// Archives handed in from outside (the command line, a later start through
// the socket, a drop on the window): they wait until a simulator is selected
// and no command runs, then are copied into its download folder and shown.

#include "app/main_window.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <utility>

#include "packages/import_archives.h"
#include "platform/files.h"
#include "settings/simulator.h"
#include "widgets/file_list_view.h"

namespace wingstow {

void Tutil::receive_archives(const std::vector<std::string>& archives) {
  if (archives.empty()) return;
  pending_archives_.insert(pending_archives_.end(), archives.begin(), archives.end());
  told_to_choose_ = false;
  QTimer::singleShot(0, this, [this] { import_pending(); });
}

void Tutil::import_pending() {
  // A command running (or pumping events) finishes first; guarded() calls
  // back here when it ends.
  if (pending_archives_.empty() || !activated_ || command_depth_ > 0 ||
      LsFilelistView_util->isPasting() || QApplication::activeModalWidget())
    return;
  // A simulator counts once its folder is set: the window is locked before.
  if (shared_.fs_version.empty() || shared_.download_path.empty() ||
      !platform::folder_exists(shared_.fs_path)) {
    if (!told_to_choose_) {
      told_to_choose_ = true;
      status(choose_simulator_first);
      message(MessageKind::information, choose_simulator_first, Buttons::ok);
    }
    return;
  }
  const std::vector<std::string> archives = std::exchange(pending_archives_, {});
  guarded([this, &archives] {
    const ImportOutcome outcome =
        import_archives(shared_.download_path, archives, [this] { pump(); });
    // Already listed, the folder is not read again by the browse: it is
    // refreshed instead; otherwise the browse reads it once.
    const bool listed = same_path(LsFilelistView_util->directoryBytes(), shared_.download_path);
    FlatButton2Click();
    if (listed) LsFilelistView_util->refresh();
    if (same_path(LsFilelistView_util->directoryBytes(), shared_.download_path)) {
      bool first = true;
      for (int i = 0; i < LsFilelistView_util->itemCount(); ++i) {
        const std::string path = LsFilelistView_util->itemPathBytes(i);
        if (std::find(outcome.arrived.begin(), outcome.arrived.end(), path) ==
            outcome.arrived.end())
          continue;
        // The first is clicked, as the user would, so that Unzip takes them.
        if (first) LsFilelistView_util->showFileBytes(path);
        first = false;
        LsFilelistView_util->setItemHighlighted(i, true);
      }
    }
    report_import(*this, shared_.download_path, outcome);
  });
}

void Tutil::dragEnterEvent(QDragEnterEvent* event) {
  const auto urls = event->mimeData()->urls();
  if (std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); }))
    event->acceptProposedAction();
}

void Tutil::dragMoveEvent(QDragMoveEvent* event) { event->acceptProposedAction(); }

void Tutil::dropEvent(QDropEvent* event) {
  std::vector<std::string> archives;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) archives.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  if (archives.empty()) return;
  // Copied, never moved, whatever the source offered.
  event->setDropAction(Qt::CopyAction);
  event->accept();
  receive_archives(archives);
}

}  // namespace wingstow
