#include "widgets/file_operations.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "platform/ascii_case.h"
#include "platform/files.h"
#include "platform/trash.h"

namespace wingstow::file_operations {

std::string local(const QString& path) { return path.toStdString(); }

QString shown(const std::string& path) { return QString::fromStdString(path); }

std::string clean_absolute(const std::string& path) {
  std::string full = path;
  if (full.empty() || full.front() != platform::sep) {
    std::error_code error;  // a current folder gone leaves the path relative to "/"
    const std::filesystem::path current = std::filesystem::current_path(error);
    full = current.native() + platform::sep + full;
  }
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (at <= full.size()) {
    auto end = full.find(platform::sep, at);
    if (end == std::string::npos) end = full.size();
    const std::string part = full.substr(at, end - at);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    at = end + 1;
  }
  std::string clean;
  for (const auto& part : parts) clean += platform::sep + part;
  return clean.empty() ? std::string(1, platform::sep) : clean;
}

QString failure_report(const QString& heading, const QStringList& failures) {
  if (failures.isEmpty()) return {};
  // A message box taller than the screen cannot be answered.
  constexpr qsizetype shown_lines = 15;
  QStringList lines = failures.mid(0, shown_lines);
  if (failures.size() > shown_lines)
    lines << QStringLiteral("... and %1 more").arg(failures.size() - shown_lines);
  return heading + QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
}

namespace {

// A file URL carrying the path's bytes, percent-encoded.
QUrl file_url(const std::string& path) {
  return QUrl::fromEncoded("file://" + QByteArray::fromStdString(path).toPercentEncoding("/"));
}

// The bytes of a local file URL's path.
std::string url_path(const QUrl& url) {
  return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

QString error_text(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString failure_line(const std::string& path, const QString& why) {
  return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(shown(path)), why);
}

QString failure_line(const platform::TransferFailure& failure) {
  switch (failure.problem) {
    case platform::TransferProblem::destination_inside:
      return failure_line(failure.path, QStringLiteral("the destination is inside this folder"));
    case platform::TransferProblem::not_regular_file:
      return failure_line(failure.path, QStringLiteral("not a regular file"));
    case platform::TransferProblem::system_error:
      break;
  }
  return failure_line(failure.path, error_text(failure.error));
}

struct WaitCursor {
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

// Closing while a search runs only stops the search: the search loop still
// uses the dialog.
class FindFileDialog : public QDialog {
 public:
  using QDialog::QDialog;

  bool searching = false;
  bool stop = false;

  void reject() override {
    if (searching) {
      stop = true;
      return;
    }
    QDialog::reject();
  }
};

}  // namespace

void put_on_clipboard(const std::vector<std::string>& paths, bool cut) {
  QList<QUrl> urls;
  QStringList texts;
  QByteArray gnome = cut ? QByteArrayLiteral("cut") : QByteArrayLiteral("copy");
  for (const std::string& path : paths) {
    urls << file_url(path);
    texts << shown(path);
    gnome += '\n' + urls.back().toEncoded();
  }
  auto* data = new QMimeData;
  data->setUrls(urls);
  data->setData(QStringLiteral("x-special/gnome-copied-files"), gnome);
  // KDE's own cut marker, for Dolphin.
  if (cut) data->setData(QStringLiteral("application/x-kde-cutselection"), QByteArrayLiteral("1"));
  data->setText(texts.join(QLatin1Char('\n')));
  QGuiApplication::clipboard()->setMimeData(data);
}

ClipboardFiles clipboard_files() {
  ClipboardFiles files;
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (!data) return files;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile())
      files.sources.push_back(without_trailing_separators(clean_absolute(url_path(url))));
  const QByteArray gnome = data->data(QStringLiteral("x-special/gnome-copied-files"));
  files.cut = gnome == "cut" || gnome.startsWith("cut\n") ||
              data->data(QStringLiteral("application/x-kde-cutselection")).startsWith('1');
  return files;
}

bool files_on_clipboard() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  const QList<QUrl> urls = data ? data->urls() : QList<QUrl>();
  return std::any_of(urls.cbegin(), urls.cend(), [](const QUrl& url) { return url.isLocalFile(); });
}

PasteOutcome paste_files(const ClipboardFiles& files, const std::string& folder,
                         const PasteProgress& progress) {
  std::optional<WaitCursor> cursor;
  platform::TransferProgress transfer;
  transfer.opened = [&cursor] { cursor.emplace(); };
  transfer.started = [&progress](qint64 total) {
    // Sized; from here the owner's Cancel may be pressed.
    QApplication::changeOverrideCursor(Qt::BusyCursor);
    if (progress.started) progress.started(total);
  };
  transfer.step = progress.step ? progress.step : [](qint64) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return true;
  };
  transfer.finished = progress.finished;
  const platform::TransferOutcome moved =
      platform::transfer_entries(files.sources, files.cut, folder, transfer);

  PasteOutcome outcome;
  outcome.items = moved.items;
  outcome.unpasted = moved.unpasted;
  outcome.cancelled = moved.cancelled;
  for (const platform::TransferFailure& failure : moved.failures)
    outcome.failures << failure_line(failure);
  return outcome;
}

void clipboard_after_cut(const PasteOutcome& outcome) {
  std::vector<std::string> left;
  for (const std::string& source : outcome.unpasted)
    if (platform::entry_exists(source)) left.push_back(source);
  if (left.empty())
    QGuiApplication::clipboard()->clear();
  else
    put_on_clipboard(left, true);
}

QString paste_report(const PasteOutcome& outcome) {
  const QString failed = QStringLiteral("Could not paste:");
  if (outcome.cancelled.empty()) return failure_report(failed, outcome.failures);
  QStringList lines;
  for (const std::string& source : outcome.cancelled)
    lines << QDir::toNativeSeparators(shown(source));
  if (!outcome.failures.isEmpty()) lines << failed << outcome.failures;
  return failure_report(QStringLiteral("Paste cancelled: %1 of %2 items pasted.\nNot pasted:")
                            .arg(outcome.items - outcome.unpasted.size())
                            .arg(outcome.items),
                        lines);
}

RenameResult rename_entry(const std::string& source, const QString& name) {
  RenameResult result{folder_part(source) + local(name), {}};
  const QString old_name = shown(name_part(source));
  if (name.trimmed().isEmpty() || name.contains(QLatin1Char('/')) || name == QStringLiteral(".") ||
      name == QStringLiteral("..")) {
    result.problem = QStringLiteral("'%1' is not a valid name.").arg(name);
  } else if (platform::entry_exists(result.target) ||
             (platform::exists(result.target) && platform::resolve(result.target) != source)) {
    // Taken by another entry, letter case aside; the entry itself may
    // change its letter case.
    result.problem = QStringLiteral("'%1' already exists.").arg(name);
  } else if (const int error = platform::rename_without_replacing(source, result.target)) {
    result.problem =
        QStringLiteral("Could not rename '%1' to '%2': %3").arg(old_name, name, error_text(error));
  }
  return result;
}

NewFolder create_new_folder(const std::string& folder) {
  for (int number = 1;; ++number) {
    const QString name =
        number == 1 ? QStringLiteral("New Folder") : QStringLiteral("New Folder (%1)").arg(number);
    const std::string path = folder + local(name);
    if (platform::name_taken(path)) continue;
    if (platform::create_folder(path)) return {path, {}};
    if (errno != EEXIST) {
      const int error = errno;
      return {{},
              QStringLiteral("Could not create the folder '%1': %2").arg(name, error_text(error))};
    }
  }
}

QString trash_question(const std::vector<std::string>& paths) {
  return paths.size() == 1
             ? QStringLiteral("Move '%1' to the trash?").arg(shown(name_part(paths.front())))
             : QStringLiteral("Move %1 items to the trash?").arg(paths.size());
}

QStringList move_to_trash(const std::vector<std::string>& paths) {
  QStringList failures;
  const WaitCursor cursor;
  for (const std::string& path : paths)
    if (!platform::move_to_trash(path))
      failures << failure_line(path, QStringLiteral("could not be moved to the trash"));
  return failures;
}

void walk_files(const std::string& folder, const QString& mask,
                const std::function<bool(const std::string&)>& found) {
  const std::string pattern = local(mask.isEmpty() ? QStringLiteral("*.*") : mask);
  std::vector<std::string> pending{with_trailing_separator(folder)};
  while (!pending.empty()) {
    const std::string current = pending.back();
    pending.pop_back();
    std::vector<std::string> subfolders;
    for (const platform::DirEntry& entry :
         platform::find_entries(current, "*.*", platform::attr_any)) {
      if (entry.name == "." || entry.name == "..") continue;
      const std::string path = current + entry.name;
      if (entry.attributes & platform::attr_directory) {
        if (!entry.link) subfolders.push_back(path);
      } else if (platform::wildcard_match(pattern, entry.name) && !found(path)) {
        return;
      }
    }
    for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it)
      pending.push_back(with_trailing_separator(*it));
  }
}

void open_find_dialog(QWidget* parent, const std::string& root,
                      std::function<void(const std::string&)> show) {
  auto* dialog = new FindFileDialog(parent);
  dialog->setObjectName(QStringLiteral("findFileDialog"));
  dialog->setWindowTitle(QStringLiteral("Find File"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setModal(true);
  dialog->resize(460, 320);

  auto* mask = new QLineEdit(dialog);
  mask->setObjectName(QStringLiteral("mask"));
  mask->setPlaceholderText(QStringLiteral("*.cfg"));
  auto* find = new QPushButton(QStringLiteral("&Find"), dialog);
  find->setObjectName(QStringLiteral("find"));
  find->setDefault(true);
  auto* matches = new QListWidget(dialog);
  matches->setObjectName(QStringLiteral("matches"));
  auto* status = new QLabel(
      QStringLiteral("Searching in %1").arg(QDir::toNativeSeparators(shown(root))), dialog);
  status->setObjectName(QStringLiteral("status"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);

  auto* label = new QLabel(QStringLiteral("File &name:"), dialog);
  label->setBuddy(mask);
  auto* row = new QHBoxLayout;
  row->addWidget(label);
  row->addWidget(mask, 1);
  row->addWidget(find);
  auto* layout = new QVBoxLayout(dialog);
  layout->addLayout(row);
  layout->addWidget(matches, 1);
  layout->addWidget(status);
  layout->addWidget(buttons);

  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  QObject::connect(find, &QPushButton::clicked, dialog, [=] {
    if (dialog->searching) {
      dialog->stop = true;
      return;
    }
    const QPointer<FindFileDialog> alive(dialog);
    dialog->searching = true;
    dialog->stop = false;
    find->setText(QStringLiteral("&Stop"));
    matches->clear();
    QElapsedTimer since_events;
    since_events.start();
    walk_files(root, mask->text().trimmed(), [&](const std::string& path) {
      auto* item =
          new QListWidgetItem(QDir::toNativeSeparators(shown(path.substr(root.size()))), matches);
      item->setData(Qt::UserRole, QByteArray::fromStdString(path));
      // A whole drive takes a while: the dialog stays live and can stop it.
      if (since_events.elapsed() > 50) {
        QCoreApplication::processEvents();
        since_events.restart();
      }
      return alive && !dialog->stop;
    });
    if (!alive) return;
    dialog->searching = false;
    find->setText(QStringLiteral("&Find"));
    status->setText(QStringLiteral("%1 file(s) found%2")
                        .arg(matches->count())
                        .arg(dialog->stop ? QStringLiteral(" (stopped)") : QString()));
  });
  QObject::connect(matches, &QListWidget::itemActivated, dialog,
                   [dialog, show = std::move(show)](QListWidgetItem* item) {
                     const std::string path = item->data(Qt::UserRole).toByteArray().toStdString();
                     dialog->stop = true;
                     dialog->searching = false;
                     dialog->accept();
                     show(path);
                   });
  dialog->show();
  mask->setFocus(Qt::OtherFocusReason);
}

}  // namespace wingstow::file_operations
