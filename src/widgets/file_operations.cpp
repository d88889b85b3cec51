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
#include <climits>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/trash.h"

namespace wingstow::file_operations {

std::string local(const QString& path) { return path.toStdString(); }

QString shown(const std::string& path) { return QString::fromStdString(path); }

std::string with_separator(std::string path) {
  if (path.empty() || path.back() != platform::sep) path += platform::sep;
  return path;
}

std::string without_separator(std::string path) {
  while (path.size() > 1 && path.back() == platform::sep) path.pop_back();
  return path;
}

std::string name_part(const std::string& path) {
  const std::string trimmed = without_separator(path);
  const auto cut = trimmed.rfind(platform::sep);
  return cut == std::string::npos ? trimmed : trimmed.substr(cut + 1);
}

std::string folder_part(const std::string& path) {
  const std::string trimmed = without_separator(path);
  const auto cut = trimmed.rfind(platform::sep);
  return cut == std::string::npos ? std::string() : trimmed.substr(0, cut + 1);
}

bool equal_ignoring_ascii_case(std::string_view a, std::string_view b) {
  const auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return fold(x) == fold(y); });
}

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

// realpath(), or empty when the path cannot be followed.
std::string real_path(const std::string& path) {
  std::error_code error;
  const auto real = std::filesystem::canonical(path, error);
  return error ? std::string() : real.native();
}

QString error_text(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString failure_line(const std::string& path, const QString& why) {
  return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(shown(path)), why);
}

bool lexists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// Taken as written, or by a name differing only in case: Wine would see
// both as the same file.
bool taken(const std::string& path) { return lexists(path) || platform::exists(path); }

// rename() that never replaces the target; plain rename() stays race-free
// enough where the file system lacks RENAME_NOREPLACE.
bool rename_no_replace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  if (lexists(to)) {
    errno = EEXIST;
    return false;
  }
  return ::rename(from.c_str(), to.c_str()) == 0;
}

// As file managers name a duplicate: before the extension for files.
std::string copy_name(const std::string& name, bool folder, int number) {
  std::string base = name;
  std::string extension;
  const auto dot = folder ? std::string::npos : name.rfind('.');
  if (dot != std::string::npos && dot > 0) {
    base = name.substr(0, dot);
    extension = name.substr(dot);
  }
  std::string copy = base + " - Copy";
  if (number > 1) copy += " (" + std::to_string(number) + ")";
  return copy + extension;
}

// folder ends with its separator.
std::string free_name(const std::string& folder, const std::string& name, bool is_folder) {
  if (!taken(folder + name)) return name;
  for (int number = 1;; ++number) {
    const std::string candidate = copy_name(name, is_folder, number);
    if (!taken(folder + candidate)) return candidate;
  }
}

bool inside(const std::string& path, const std::string& folder) {
  if (path == folder) return true;
  return path.starts_with(with_separator(folder));
}

// A free hidden name in folder, of those platform::is_temporary_name knows.
std::string temporary_name(const std::string& folder) {
  for (unsigned serial = 0;; ++serial) {
    const std::string name =
        ".wingstow-paste-" + std::to_string(::getpid()) + "-" + std::to_string(serial) + ".tmp";
    if (!lexists(with_separator(folder) + name)) return name;
  }
}

// The names in an open folder, in byte order, links (broken ones too)
// among them; false with errno set when the folder cannot be read.
bool list_entries(const platform::Folder& folder, std::vector<std::string>& names) {
  // A descriptor of its own, so that the folder's offset stays untouched.
  const int fd = ::openat(folder.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
  if (!dir) {
    const int error = errno;
    if (fd >= 0) ::close(fd);
    errno = error;
    return false;
  }
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  const int error = errno;
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  errno = error;
  return error == 0;
}

struct WaitCursor {
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

enum class ItemResult { pasted, failed, cancelled };

// One paste: the bytes to copy, the copies, and the owner's progress and
// cancel.
class PasteRun {
 public:
  PasteRun(const PasteProgress& progress, QStringList& failures)
      : progress_(progress), failures_(failures), copier_([this] { step(); }) {}

  bool cancelled() const { return cancelled_; }

  // The file data under the entry name of from, links not followed.
  qint64 measure(const platform::Folder& from, const std::string& name) {
    struct stat st;
    if (::fstatat(from.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return 0;
    if (S_ISREG(st.st_mode)) return st.st_size;
    if (!S_ISDIR(st.st_mode)) return 0;
    const platform::Folder folder(from, name);
    std::vector<std::string> names;
    list_entries(folder, names);
    qint64 bytes = 0;
    for (const std::string& entry : names) bytes += measure(folder, entry);
    return bytes;
  }

  void start(qint64 total) {
    total_ = total;
    if (progress_.started) progress_.started(total);
  }

  // Pastes source into the folder listed as folder, which is target_folder
  // (its real path, open as to).
  ItemResult paste(const std::string& source, const std::string& folder,
                   const std::string& target_folder, platform::Folder& to, bool cut) {
    struct stat own;
    if (::lstat(source.c_str(), &own) != 0) return fail(source, error_text(ENOENT));
    struct stat st;
    const bool is_folder = ::stat(source.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    if (is_folder && !S_ISLNK(own.st_mode) && inside(target_folder, real_path(source)))
      return fail(source, QStringLiteral("the destination is inside this folder"));
    // Moving an entry into the folder that holds it changes nothing.
    if (cut && real_path(folder_part(source)) == target_folder) return ItemResult::pasted;

    const std::string name = free_name(folder, name_part(source), is_folder);
    const std::string target = with_separator(target_folder) + name;
    if (cut && rename_no_replace(source, target)) {
      to.added(name);
      return ItemResult::pasted;
    }
    if (cut && errno != EXDEV) return fail(source, error_text(errno));
    // Across file systems a move is a copy whose original goes only once
    // the whole copy is there. A folder, too, takes its name only once
    // filled, under a hidden temporary name that walks pass over.
    const std::string copy_name = S_ISDIR(own.st_mode) ? temporary_name(target_folder) : name;
    const std::string copy_path = with_separator(target_folder) + copy_name;
    bool made = false;
    const bool whole = copy(platform::Folder(folder_part(source)), name_part(source), source, to,
                            copy_name, &made);
    // Half a copy beside an intact original would only confuse, and so would
    // half an item left by a cancel; what goes is only what this copy made.
    if (!whole && made && (cut || cancelled_)) {
      platform::delete_tree(copy_path);
      to.removed(copy_name);
      made = false;
    }
    if (made && copy_name != name) {
      const bool named = rename_no_replace(copy_path, target);
      const int error = errno;
      if (!named) platform::delete_tree(copy_path);
      to.removed(copy_name);
      if (!named) return fail(source, error_text(error));
      to.added(name);
    }
    errno = 0;
    if (whole && cut && !platform::delete_tree(source))
      return fail(source, error_text(errno != 0 ? errno : EIO));
    if (whole) return ItemResult::pasted;
    return cancelled_ ? ItemResult::cancelled : ItemResult::failed;
  }

 private:
  bool refuse(const std::string& path, const QString& why) {
    failures_ << failure_line(path, why);
    return false;
  }
  ItemResult fail(const std::string& path, const QString& why) {
    refuse(path, why);
    return ItemResult::failed;
  }

  void step() {
    if (progress_.step) {
      if (!progress_.step(std::min(done_, total_))) cancelled_ = true;
    } else {
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
  }

  // Copies the entry name of from (path names it in messages) into to as
  // target_name; made tells whether the target was created, whatever became
  // of its content. True when all of it was copied.
  bool copy(const platform::Folder& from, const std::string& name, const std::string& path,
            platform::Folder& to, const std::string& target_name, bool* made) {
    struct stat st;
    if (::fstatat(from.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
      return refuse(path, error_text(errno));
    if (S_ISREG(st.st_mode)) {
      const platform::CopyResult result = copier_.copy(from, name, to, target_name);
      done_ += st.st_size;
      step();
      if (result.status != platform::CopyStatus::copied)
        return refuse(path, error_text(result.error));
      if (made) *made = true;
      return true;
    }
    if (!S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode))
      return refuse(path, QStringLiteral("not a regular file"));
    if (to.find(target_name)) return refuse(path, error_text(EEXIST));
    // Links are copied as links: following them could copy a whole drive (a
    // Wine prefix links z: to /) or loop forever.
    if (S_ISLNK(st.st_mode)) {
      std::string link(PATH_MAX + 1, '\0');
      const ssize_t length = ::readlinkat(from.fd(), name.c_str(), link.data(), link.size());
      if (length < 0 || std::size_t(length) >= link.size())
        return refuse(path, error_text(length < 0 ? errno : ENAMETOOLONG));
      link.resize(static_cast<std::size_t>(length));
      if (::symlinkat(link.c_str(), to.fd(), target_name.c_str()) != 0)
        return refuse(path, error_text(errno));
      to.added(target_name);
      if (made) *made = true;
      return true;
    }
    const platform::Folder folder(from, name);
    std::vector<std::string> names;
    if (!folder.is_open()) return refuse(path, error_text(folder.error()));
    if (!list_entries(folder, names)) return refuse(path, error_text(errno));
    platform::Folder copy_folder = platform::Folder::create(to, target_name);
    if (!copy_folder.is_open()) return refuse(path, error_text(copy_folder.error()));
    to.added(target_name);
    if (made) *made = true;
    bool whole = true;
    for (const std::string& entry : names) {
      if (cancelled_) return false;
      whole =
          copy(folder, entry, path + platform::sep + entry, copy_folder, entry, nullptr) && whole;
    }
    return whole;
  }

  const PasteProgress& progress_;
  QStringList& failures_;
  platform::FileCopier copier_;
  qint64 total_ = 0;
  qint64 done_ = 0;
  bool cancelled_ = false;
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
      files.sources.push_back(without_separator(clean_absolute(url_path(url))));
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
  PasteOutcome outcome;
  const std::vector<std::string>& sources = files.sources;
  outcome.items = sources.size();
  const std::string target_folder = real_path(folder);
  platform::Folder to(target_folder.empty() ? folder : target_folder, false);
  if (target_folder.empty() || !to.is_open()) {
    outcome.failures << failure_line(folder,
                                     error_text(target_folder.empty() ? ENOENT : to.error()));
    outcome.unpasted = sources;
    return outcome;
  }

  const WaitCursor cursor;
  PasteRun run(progress, outcome.failures);
  struct stat target_st;
  const dev_t target_device = ::fstat(to.fd(), &target_st) == 0 ? target_st.st_dev : 0;
  qint64 total = 0;
  for (const std::string& source : sources) {
    struct stat st;
    // Within one file system a move is a rename: no data to copy.
    if (files.cut && ::lstat(source.c_str(), &st) == 0 && st.st_dev == target_device) continue;
    total += run.measure(platform::Folder(folder_part(source)), name_part(source));
  }
  // Sized; from here the owner's Cancel may be pressed.
  QApplication::changeOverrideCursor(Qt::BusyCursor);
  run.start(total);
  struct Finish {
    const PasteProgress& progress;
    ~Finish() {
      if (progress.finished) progress.finished();
    }
  } finish{progress};

  for (std::size_t i = 0; i < sources.size(); ++i) {
    const ItemResult result = run.cancelled()
                                  ? ItemResult::cancelled
                                  : run.paste(sources[i], folder, target_folder, to, files.cut);
    if (result == ItemResult::pasted) continue;
    outcome.unpasted.push_back(sources[i]);
    if (result == ItemResult::cancelled) outcome.cancelled.push_back(sources[i]);
  }
  return outcome;
}

void clipboard_after_cut(const PasteOutcome& outcome) {
  std::vector<std::string> left;
  for (const std::string& source : outcome.unpasted)
    if (lexists(source)) left.push_back(source);
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
  } else if (lexists(result.target) ||
             (platform::exists(result.target) && platform::resolve(result.target) != source)) {
    // Taken by another entry, letter case aside; the entry itself may
    // change its letter case.
    result.problem = QStringLiteral("'%1' already exists.").arg(name);
  } else if (!rename_no_replace(source, result.target)) {
    const int error = errno;
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
    if (taken(path)) continue;
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
  std::vector<std::string> pending{with_separator(folder)};
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
      pending.push_back(with_separator(*it));
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
