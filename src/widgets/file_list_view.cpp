#include "widgets/file_list_view.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMetaProperty>
#include <QMimeData>
#include <QMouseEvent>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>

#include "platform/files.h"
#include "platform/shell.h"
#include "platform/trash.h"

namespace wingstow {

const QString FileListView::drives_text = QStringLiteral("Drives");
const QString FileListView::parent_caption = QStringLiteral(" Parent");

namespace {

constexpr int kind_role = Qt::UserRole;
// The entry's full path in the file system's bytes, on the path column: the
// column's text is for display, and a name that is not UTF-8 does not survive
// a QString.
constexpr int path_role = Qt::UserRole + 1;

// Hot tracking: the row under the mouse is drawn underlined.
class HoverUnderlineDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    if (option->state & QStyle::State_MouseOver) option->font.setUnderline(true);
  }
};

QString with_separator(QString path) {
  if (!path.endsWith(QLatin1Char(platform::sep))) path += QLatin1Char(platform::sep);
  return path;
}

// Explorer's way: whole kilobytes, rounded up.
QString size_text(std::uint64_t bytes) {
  return QLocale().toString(static_cast<qulonglong>((bytes + 1023) / 1024)) + QStringLiteral(" KB");
}

QString type_text(const QString& name, bool folder) {
  if (folder) return QStringLiteral("File Folder");
  const QString suffix = QFileInfo(name).suffix();
  return suffix.isEmpty() ? QStringLiteral("File") : suffix.toUpper() + QStringLiteral(" File");
}

// Short date and short time, local; the locale's short date-time format
// carries seconds in some locales. The C library takes the time apart with
// the time zone it read once, where QDateTime reads it again for each of
// thousands of entries.
QString time_text(const QLocale& locale, std::int64_t modified_ms) {
  const std::time_t seconds = static_cast<std::time_t>(
      modified_ms >= 0 ? modified_ms / 1000 : -((-modified_ms + 999) / 1000));
  std::tm local{};
  if (!::localtime_r(&seconds, &local)) return {};
  const QDate date(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  const QTime time(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59));
  return locale.toString(date, QLocale::ShortFormat) + QLatin1Char(' ') +
         locale.toString(time, QLocale::ShortFormat);
}

QString attributes_text(std::uint32_t attributes) {
  QString text;
  if (attributes & platform::attr_read_only) text += QLatin1Char('R');
  if (attributes & platform::attr_hidden) text += QLatin1Char('H');
  if (attributes & platform::attr_system) text += QLatin1Char('S');
  if (attributes & platform::attr_archive) text += QLatin1Char('A');
  return text;
}

bool name_less(const platform::DirEntry& a, const platform::DirEntry& b) {
  const QString left = QString::fromStdString(a.name);
  const QString right = QString::fromStdString(b.name);
  const int order = left.compare(right, Qt::CaseInsensitive);
  return order != 0 ? order < 0 : left < right;
}

// --- File operations behind the actions -------------------------------------

std::string local(const QString& path) { return path.toStdString(); }

// For display only: bytes that are not UTF-8 show as replacement characters.
QString shown(const std::string& path) { return QString::fromStdString(path); }

std::string with_separator(std::string path) {
  if (path.empty() || path.back() != platform::sep) path += platform::sep;
  return path;
}

std::string without_separator(std::string path) {
  while (path.size() > 1 && path.back() == platform::sep) path.pop_back();
  return path;
}

// The last part of a path, trailing separators aside.
std::string name_part(const std::string& path) {
  const std::string trimmed = without_separator(path);
  const auto cut = trimmed.rfind(platform::sep);
  return cut == std::string::npos ? trimmed : trimmed.substr(cut + 1);
}

// The folder part of a path, with its separator; empty when there is none.
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

// What QDir::cleanPath(QFileInfo(path).absoluteFilePath()) gives, on bytes:
// absolute, without "." and "..", without repeated separators.
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

std::string path_of(const QTreeWidgetItem* item) {
  return item->data(FileListView::path_column, path_role).toByteArray().toStdString();
}

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

QString failure_line(const QString& path, const QString& why) {
  return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), why);
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

// Links are copied as links: following them could copy a whole drive (a
// Wine prefix links z: to /) or loop forever. made tells whether to itself
// was created, whatever became of its content.
bool copy_tree(const std::string& from, const std::string& to, QStringList& failures,
               bool* made = nullptr) {
  const auto fail = [&](const QString& why) {
    failures << failure_line(QString::fromStdString(from), why);
    return false;
  };
  struct stat st;
  if (::lstat(from.c_str(), &st) != 0) return fail(error_text(errno));
  if (S_ISLNK(st.st_mode)) {
    std::error_code error;
    const auto target = std::filesystem::read_symlink(from, error);
    if (!error) std::filesystem::create_symlink(target, to, error);
    if (error) return fail(QString::fromStdString(error.message()));
    if (made) *made = true;
    return true;
  }
  if (S_ISDIR(st.st_mode)) {
    if (!platform::create_folder(to)) return fail(error_text(errno));
    if (made) *made = true;
    std::error_code error;
    std::vector<std::string> names;
    for (std::filesystem::directory_iterator it(from, error), end; !error && it != end;
         it.increment(error))
      names.push_back(it->path().filename().string());
    if (error) return fail(QString::fromStdString(error.message()));
    bool ok = true;
    for (const auto& name : names)
      ok = copy_tree(from + '/' + name, to + '/' + name, failures) && ok;
    return ok;
  }
  if (!S_ISREG(st.st_mode)) return fail(QStringLiteral("not a regular file"));
  // A failed copy_file leaves nothing behind.
  const platform::CopyResult result = platform::copy_file(from, to);
  if (result.status != platform::CopyStatus::copied) return fail(error_text(result.error));
  if (made) *made = true;
  return true;
}

// Within one file system a rename; across, a copy whose original goes only
// once the whole copy is there.
bool move_tree(const std::string& from, const std::string& to, QStringList& failures) {
  if (rename_no_replace(from, to)) return true;
  if (errno != EXDEV) {
    failures << failure_line(QString::fromStdString(from), error_text(errno));
    return false;
  }
  std::error_code error;
  bool made = false;
  if (!copy_tree(from, to, failures, &made)) {
    // Half a copy beside an intact original would only confuse; what is
    // removed is only what this copy created.
    if (made) std::filesystem::remove_all(to, error);
    return false;
  }
  std::filesystem::remove_all(from, error);
  if (error) {
    failures << failure_line(QString::fromStdString(from), QString::fromStdString(error.message()));
    return false;
  }
  return true;
}

bool inside(const std::string& path, const std::string& folder) {
  if (path == folder) return true;
  return path.starts_with(with_separator(folder));
}

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

// Walks folder and its subfolders depth-first, in name order, without
// entering linked folders; found returns false to stop the walk.
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

}  // namespace

FileListView::FileListView(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(6);
  setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Type"),
                   QStringLiteral("Modified"), QStringLiteral("Attributes"),
                   QStringLiteral("Path")});
  setColumnHidden(path_column, true);
  setColumnWidth(name_column, 220);
  setColumnWidth(size_column, 80);
  setColumnWidth(type_column, 110);
  setColumnWidth(modified_column, 130);
  headerItem()->setTextAlignment(size_column, Qt::AlignRight | Qt::AlignVCenter);

  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSortingEnabled(false);  // the order is fixed: parent, folders, files
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);

  setMouseTracking(true);
  viewport()->setAttribute(Qt::WA_Hover);
  setItemDelegate(new HoverUnderlineDelegate(this));

  // clicked() comes after the click has updated the selection, and only for
  // a press and release on the same entry.
  connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
    if (selectedItems().isEmpty()) return;
    if (const QTreeWidgetItem* item = itemFromIndex(index)) raise_click(item);
  });

  confirm = [this](const QString& question) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirmation"), question,
                    QMessageBox::NoButton, this);
    QAbstractButton* yes = box.addButton(QStringLiteral("&Oui"), QMessageBox::YesRole);
    box.setEscapeButton(box.addButton(QStringLiteral("&Non"), QMessageBox::NoRole));
    box.exec();
    return box.clickedButton() == yes;
  };
  warn = [this](const QString& message) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Avertissement"), message,
                    QMessageBox::NoButton, this);
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
  };
  create_actions();

  current_directory = drives_text;
  directory_bytes = local(drives_text);
  fill();
}

void FileListView::setDirectory(const QString& folder) { setDirectoryBytes(local(folder)); }

void FileListView::setDirectoryBytes(const std::string& folder) {
  if (equal_ignoring_ascii_case(folder, local(drives_text))) {
    if (current_directory == drives_text) return;
    current_directory = drives_text;
    directory_bytes = local(drives_text);
    fill();
    return;
  }
  if (folder.empty()) return;
  const std::string wanted = with_separator(clean_absolute(folder));
  if (current_directory != drives_text && equal_ignoring_ascii_case(wanted, directory_bytes))
    return;
  const std::string resolved = platform::resolve(wanted);
  if (!platform::folder_exists(resolved)) return;
  directory_bytes = with_separator(resolved);
  current_directory = shown(directory_bytes);
  fill();
}

QString FileListView::itemPath(int index) const {
  const QTreeWidgetItem* item = topLevelItem(index);
  return item ? item->text(path_column) : QString();
}

std::string FileListView::itemPathBytes(int index) const {
  const QTreeWidgetItem* item = topLevelItem(index);
  return item ? path_of(item) : std::string();
}

QString FileListView::itemCaption(int index) const {
  const QTreeWidgetItem* item = topLevelItem(index);
  return item ? item->text(name_column) : QString();
}

void FileListView::setItemCaption(int index, const QString& caption) {
  if (QTreeWidgetItem* item = topLevelItem(index)) item->setText(name_column, caption);
}

bool FileListView::itemHighlighted(int index) const {
  const QTreeWidgetItem* item = topLevelItem(index);
  return item && item->isSelected();
}

void FileListView::setItemHighlighted(int index, bool highlighted) {
  QTreeWidgetItem* item = topLevelItem(index);
  if (!item) return;
  // The selection model does not enforce single selection by itself.
  if (highlighted && !multiSelect()) clearSelection();
  item->setSelected(highlighted);
}

void FileListView::setMultiSelect(bool multi) {
  if (multi == multiSelect()) return;
  if (!multi && selectedItems().size() > 1) clearSelection();
  setSelectionMode(multi ? QAbstractItemView::ExtendedSelection
                         : QAbstractItemView::SingleSelection);
}

void FileListView::oneLevelUp() {
  if (current_directory == drives_text) return;
  if (is_drive_root(directory_bytes)) {
    setDirectory(drives_text);
    return;
  }
  const std::string folder = without_separator(directory_bytes);
  const auto cut = folder.rfind(platform::sep);
  if (cut == std::string::npos) return;
  setDirectoryBytes(folder.substr(0, cut + 1));

  QTreeWidgetItem* entry = find_entry(folder, Qt::CaseSensitive);
  if (!entry) entry = find_entry(folder, Qt::CaseInsensitive);
  if (entry) highlight_entry(entry);
}

void FileListView::refresh() { fill(); }

QStringList FileListView::findFiles(const QString& mask) const {
  QStringList matches;
  if (current_directory == drives_text) return matches;
  walk_files(directory_bytes, mask, [&](const std::string& path) {
    matches << shown(path);
    return true;
  });
  return matches;
}

void FileListView::showFile(const QString& path) { showFileBytes(local(path)); }

void FileListView::showFileBytes(const std::string& path) {
  const std::string absolute = clean_absolute(path);
  setDirectoryBytes(folder_part(absolute));
  if (current_directory == drives_text) return;
  const std::string wanted = directory_bytes + name_part(absolute);
  QTreeWidgetItem* entry = find_entry(wanted, Qt::CaseSensitive);
  if (!entry) {
    // Listed before the file came; or the same folder in other letter case.
    refresh();
    entry = find_entry(wanted, Qt::CaseSensitive);
    if (!entry) entry = find_entry(wanted, Qt::CaseInsensitive);
  }
  if (entry) highlight_entry(entry);
}

void FileListView::copySelection() { put_on_clipboard(false); }

void FileListView::cutSelection() { put_on_clipboard(true); }

void FileListView::put_on_clipboard(bool cut) {
  const std::vector<std::string> paths = highlighted_paths();
  if (paths.empty()) return;
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

void FileListView::paste() {
  if (current_directory == drives_text) return;
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (!data) return;
  std::vector<std::string> sources;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) sources.push_back(without_separator(clean_absolute(url_path(url))));
  if (sources.empty()) return;
  const QByteArray gnome = data->data(QStringLiteral("x-special/gnome-copied-files"));
  const bool cut = gnome == "cut" || gnome.startsWith("cut\n") ||
                   data->data(QStringLiteral("application/x-kde-cutselection")).startsWith('1');

  const std::string target_folder = real_path(directory_bytes);
  QStringList failures;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  for (const std::string& source : sources) {
    struct stat own;
    if (::lstat(source.c_str(), &own) != 0) {
      failures << failure_line(shown(source), error_text(ENOENT));
      continue;
    }
    struct stat st;
    const bool is_folder = ::stat(source.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    const bool real_folder = is_folder && !S_ISLNK(own.st_mode);
    if (real_folder && inside(target_folder, real_path(source))) {
      failures << failure_line(shown(source),
                               QStringLiteral("the destination is inside this folder"));
      continue;
    }
    // Moving an entry into the folder that holds it changes nothing.
    if (cut && real_path(folder_part(source)) == target_folder) continue;
    const std::string target =
        directory_bytes + free_name(directory_bytes, name_part(source), is_folder);
    if (cut)
      move_tree(source, target, failures);
    else
      copy_tree(source, target, failures);
  }
  QApplication::restoreOverrideCursor();
  // What was cut is gone from where the clipboard says it is.
  if (cut) QGuiApplication::clipboard()->clear();
  refresh();
  report(QStringLiteral("Could not paste:"), failures);
}

void FileListView::openCurrent() {
  if (const QTreeWidgetItem* item = currentItem()) open_entry(item);
}

void FileListView::viewSelection() {
  QTreeWidgetItem* item = currentItem();
  if (!item || !item->isSelected()) {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    item = selected.isEmpty() ? nullptr : selected.front();
  }
  if (item) open_entry(item);
}

void FileListView::newFolder() {
  if (current_directory == drives_text) return;
  QString name;
  for (int number = 1;; ++number) {
    name =
        number == 1 ? QStringLiteral("New Folder") : QStringLiteral("New Folder (%1)").arg(number);
    const std::string path = directory_bytes + local(name);
    if (taken(path)) continue;
    if (platform::create_folder(path)) break;
    if (errno != EEXIST) {
      const int error = errno;
      warn(QStringLiteral("Could not create the folder '%1': %2").arg(name, error_text(error)));
      return;
    }
  }
  refresh();
  if (QTreeWidgetItem* entry = find_entry(directory_bytes + local(name), Qt::CaseSensitive)) {
    highlight_entry(entry);
    renameCurrent();
  }
}

void FileListView::selectAllEntries() {
  if (!multiSelect()) return;
  selectAll();
  if (QTreeWidgetItem* first = topLevelItem(0); first && kind_of(first) == EntryKind::parent)
    first->setSelected(false);
}

void FileListView::deleteSelection() {
  const std::vector<std::string> paths = highlighted_paths();
  if (paths.empty()) return;
  const QString question =
      paths.size() == 1
          ? QStringLiteral("Move '%1' to the trash?").arg(shown(name_part(paths.front())))
          : QStringLiteral("Move %1 items to the trash?").arg(paths.size());
  if (!confirm(question)) return;
  QStringList failures;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  for (const std::string& path : paths)
    if (!platform::move_to_trash(path))
      failures << failure_line(shown(path), QStringLiteral("could not be moved to the trash"));
  QApplication::restoreOverrideCursor();
  refresh();
  report(QStringLiteral("Could not delete:"), failures);
}

void FileListView::renameCurrent() {
  QTreeWidgetItem* item = rename_target();
  if (!item || state() == QAbstractItemView::EditingState) return;
  renaming_path = path_of(item);
  renaming_caption = item->text(name_column);
  committed_name.reset();
  // The owner may have put its own caption there; the editor edits the name.
  item->setText(name_column, shown(name_part(renaming_path)));
  // Editable only for the length of this edit: no click or key opens an
  // editor on its own.
  item->setFlags(item->flags() | Qt::ItemIsEditable);
  renaming_index = QPersistentModelIndex(indexFromItem(item, name_column));
  scrollToItem(item);
  editItem(item, name_column);
}

void FileListView::findFile() {
  if (current_directory == drives_text) return;
  const QString root = current_directory;
  const std::string root_bytes = directory_bytes;

  auto* dialog = new FindFileDialog(this);
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
  auto* status =
      new QLabel(QStringLiteral("Searching in %1").arg(QDir::toNativeSeparators(root)), dialog);
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

  connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  connect(find, &QPushButton::clicked, dialog, [=] {
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
    walk_files(root_bytes, mask->text().trimmed(), [&](const std::string& path) {
      auto* item = new QListWidgetItem(
          QDir::toNativeSeparators(shown(path.substr(root_bytes.size()))), matches);
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
  connect(matches, &QListWidget::itemActivated, dialog, [this, dialog](QListWidgetItem* item) {
    const std::string path = item->data(Qt::UserRole).toByteArray().toStdString();
    dialog->stop = true;
    dialog->searching = false;
    dialog->accept();
    showFileBytes(path);
  });
  dialog->show();
  mask->setFocus(Qt::OtherFocusReason);
}

bool FileListView::event(QEvent* event) {
  // The list's keys win over window shortcuts while it has the focus.
  if (event->type() == QEvent::ShortcutOverride && !from_editor() &&
      action_for(static_cast<QKeyEvent*>(event))) {
    event->accept();
    return true;
  }
  return QTreeWidget::event(event);
}

void FileListView::keyPressEvent(QKeyEvent* event) {
  // The list's own keys are handled here, ahead of the view's navigation
  // (whose Ctrl+C would copy a caption).
  if (from_editor()) {
    // Keys the rename editor leaves unused, Enter among them: not the list's.
    QTreeWidget::keyPressEvent(event);
    return;
  }
  if (const FileAction* action = action_for(event)) {
    (this->*action->run)();
    event->accept();
    return;
  }
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      openCurrent();
      event->accept();
      return;
    default:
      QTreeWidget::keyPressEvent(event);
  }
}

void FileListView::keyReleaseEvent(QKeyEvent* event) {
  const bool arrow = event->key() == Qt::Key_Up || event->key() == Qt::Key_Down;
  if (arrow && !event->isAutoRepeat() && currentItem() && !selectedItems().isEmpty())
    raise_click(currentItem());
  QTreeWidget::keyReleaseEvent(event);
}

void FileListView::mousePressEvent(QMouseEvent* event) {
  opened_by_double_click = false;
  QTreeWidget::mousePressEvent(event);
}

void FileListView::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPersistentModelIndex index = indexAt(event->position().toPoint());
  // The base class first: after the new listing it would take the double
  // click for a press on whatever entry now lies under the mouse.
  QTreeWidget::mouseDoubleClickEvent(event);
  if (event->button() != Qt::LeftButton || !index.isValid()) return;
  if (const QTreeWidgetItem* item = itemFromIndex(index)) {
    opened_by_double_click = true;
    open_entry(item);
  }
}

void FileListView::mouseReleaseEvent(QMouseEvent* event) {
  QTreeWidget::mouseReleaseEvent(event);
  opened_by_double_click = false;
}

QItemSelectionModel::SelectionFlags FileListView::selectionCommand(const QModelIndex& index,
                                                                   const QEvent* event) const {
  // The view defers the selection of a pressed, already selected entry to
  // the release; after a double click that release belongs to the listing
  // that was left, and must not highlight whatever the new one shows there.
  if (opened_by_double_click && event && event->type() == QEvent::MouseButtonRelease)
    return QItemSelectionModel::NoUpdate;
  return QTreeWidget::selectionCommand(index, event);
}

void FileListView::contextMenuEvent(QContextMenuEvent* event) {
  update_actions();
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("fileListMenu"));
  menu->setAttribute(Qt::WA_DeleteOnClose);
  // Groups as file managers show them.
  static constexpr int group_ends[] = {2, 5, 6, 8, 10};
  for (std::size_t i = 0; i < file_actions.size(); ++i) {
    menu->addAction(file_actions[i].action);
    if (std::find(std::begin(group_ends), std::end(group_ends), int(i)) != std::end(group_ends))
      menu->addSeparator();
  }
  QPoint at = event->globalPos();
  if (event->reason() == QContextMenuEvent::Keyboard && currentItem())
    at = viewport()->mapToGlobal(visualItemRect(currentItem()).center());
  menu->popup(at);
  event->accept();
}

void FileListView::commitData(QWidget* editor) {
  if (renaming_path.empty()) {
    QTreeWidget::commitData(editor);
    return;
  }
  // The name goes to the disk, not into the item: the folder is read again.
  const QMetaProperty text = editor->metaObject()->userProperty();
  if (text.isValid()) committed_name = text.read(editor).toString();
}

void FileListView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  if (renaming_path.empty()) {
    QTreeWidget::closeEditor(editor, hint);
    return;
  }
  // Tab would carry the editor on to the next entry; a rename ends here.
  if (hint == QAbstractItemDelegate::EditNextItem ||
      hint == QAbstractItemDelegate::EditPreviousItem)
    hint = QAbstractItemDelegate::SubmitModelCache;
  QTreeWidget::closeEditor(editor, hint);
  const std::string source = std::exchange(renaming_path, {});
  const QString caption = std::exchange(renaming_caption, {});
  const std::optional<QString> name = std::exchange(committed_name, std::nullopt);
  if (QTreeWidgetItem* item = itemFromIndex(renaming_index)) {
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    if (!name) item->setText(name_column, caption);
  }
  renaming_index = QPersistentModelIndex();
  if (name) finish_rename(source, *name, caption);
}

void FileListView::create_actions() {
  struct Definition {
    const char* name;
    const char* text;
    QKeySequence key;
    void (FileListView::*run)();
  };
  const Definition definitions[] = {
      {"openAction", "&Open", QKeySequence(Qt::CTRL | Qt::Key_O), &FileListView::openCurrent},
      {"viewAction", "&View", QKeySequence(Qt::CTRL | Qt::Key_F), &FileListView::viewSelection},
      {"backAction", "&Back", QKeySequence(Qt::Key_Backspace), &FileListView::oneLevelUp},
      {"cutAction", "Cu&t", QKeySequence(Qt::CTRL | Qt::Key_X), &FileListView::cutSelection},
      {"copyAction", "&Copy", QKeySequence(Qt::CTRL | Qt::Key_C), &FileListView::copySelection},
      {"pasteAction", "&Paste", QKeySequence(Qt::CTRL | Qt::Key_V), &FileListView::paste},
      {"deleteAction", "&Delete", QKeySequence(Qt::Key_Delete), &FileListView::deleteSelection},
      {"renameAction", "Rena&me", QKeySequence(Qt::Key_F2), &FileListView::renameCurrent},
      {"newFolderAction", "&New Folder", QKeySequence(Qt::CTRL | Qt::Key_N),
       &FileListView::newFolder},
      {"selectAllAction", "Select &All", QKeySequence(Qt::CTRL | Qt::Key_A),
       &FileListView::selectAllEntries},
      {"findFileAction", "&Find File...", QKeySequence(Qt::Key_F3), &FileListView::findFile},
      {"refreshAction", "&Refresh", QKeySequence(Qt::Key_F5), &FileListView::refresh},
  };
  for (const Definition& definition : definitions) {
    // Not added to the widget: the keys are taken in keyPressEvent, the
    // shortcut is only what the menu shows.
    auto* action = new QAction(QString::fromLatin1(definition.text), this);
    action->setObjectName(QString::fromLatin1(definition.name));
    action->setShortcut(definition.key);
    action->setShortcutContext(Qt::WidgetShortcut);
    connect(action, &QAction::triggered, this, definition.run);
    file_actions.push_back({action, definition.run});
  }
}

const FileListView::FileAction* FileListView::action_for(const QKeyEvent* event) const {
  // Del and the others also come from the keypad.
  const QKeySequence pressed(QKeyCombination(event->modifiers() & ~Qt::KeypadModifier,
                                             static_cast<Qt::Key>(event->key())));
  for (const FileAction& action : file_actions)
    if (action.action->shortcut() == pressed) return &action;
  return nullptr;
}

bool FileListView::from_editor() const {
  return state() == QAbstractItemView::EditingState && !hasFocus();
}

void FileListView::update_actions() {
  const bool folder = current_directory != drives_text;
  const bool entries = !highlighted_paths().empty();
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  const QList<QUrl> urls = data ? data->urls() : QList<QUrl>();
  const bool files_on_clipboard =
      std::any_of(urls.cbegin(), urls.cend(), [](const QUrl& url) { return url.isLocalFile(); });
  const auto set = [this](void (FileListView::*run)(), bool enabled) {
    for (const FileAction& action : file_actions)
      if (action.run == run) action.action->setEnabled(enabled);
  };
  set(&FileListView::openCurrent, currentItem() != nullptr);
  set(&FileListView::viewSelection, !selectedItems().isEmpty());
  set(&FileListView::oneLevelUp, folder);
  set(&FileListView::cutSelection, entries);
  set(&FileListView::copySelection, entries);
  set(&FileListView::paste, folder && files_on_clipboard);
  set(&FileListView::deleteSelection, entries);
  set(&FileListView::renameCurrent, rename_target() != nullptr);
  set(&FileListView::newFolder, folder);
  set(&FileListView::selectAllEntries, multiSelect());
  set(&FileListView::findFile, folder);
}

QList<QTreeWidgetItem*> FileListView::highlighted_entries() const {
  QList<QTreeWidgetItem*> entries;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = topLevelItem(i);
    const EntryKind kind = kind_of(item);
    if (item->isSelected() && (kind == EntryKind::folder || kind == EntryKind::file))
      entries << item;
  }
  return entries;
}

std::vector<std::string> FileListView::highlighted_paths() const {
  std::vector<std::string> paths;
  for (const QTreeWidgetItem* item : highlighted_entries()) paths.push_back(path_of(item));
  return paths;
}

QTreeWidgetItem* FileListView::rename_target() const {
  const QList<QTreeWidgetItem*> entries = highlighted_entries();
  if (entries.isEmpty()) return nullptr;
  return entries.contains(currentItem()) ? currentItem() : entries.front();
}

void FileListView::finish_rename(const std::string& source, const QString& name,
                                 const QString& caption) {
  // The editor showed the name as text; unchanged text keeps the bytes.
  const QString old_name = shown(name_part(source));
  if (name == old_name) {
    if (QTreeWidgetItem* item = find_entry(source, Qt::CaseSensitive))
      item->setText(name_column, caption);
    return;
  }
  const std::string target = folder_part(source) + local(name);
  QString problem;
  if (name.trimmed().isEmpty() || name.contains(QLatin1Char('/')) || name == QStringLiteral(".") ||
      name == QStringLiteral("..")) {
    problem = QStringLiteral("'%1' is not a valid name.").arg(name);
  } else if (lexists(target) || (platform::exists(target) && platform::resolve(target) != source)) {
    // Taken by another entry, letter case aside; the entry itself may
    // change its letter case.
    problem = QStringLiteral("'%1' already exists.").arg(name);
  } else if (!rename_no_replace(source, target)) {
    const int error = errno;
    problem =
        QStringLiteral("Could not rename '%1' to '%2': %3").arg(old_name, name, error_text(error));
  }
  if (!problem.isEmpty()) {
    if (QTreeWidgetItem* item = find_entry(source, Qt::CaseSensitive))
      item->setText(name_column, caption);
    warn(problem);
    return;
  }
  refresh();
  if (QTreeWidgetItem* entry = find_entry(target, Qt::CaseSensitive)) highlight_entry(entry);
}

void FileListView::highlight_entry(QTreeWidgetItem* entry) {
  setCurrentItem(entry);  // clears any other highlight, also in multi-select
  scrollToItem(entry);
  setFocus(Qt::OtherFocusReason);
  raise_click(entry);
}

void FileListView::report(const QString& heading, const QStringList& failures) {
  if (failures.isEmpty()) return;
  // A message box taller than the screen cannot be answered.
  constexpr qsizetype shown = 15;
  QStringList lines = failures.mid(0, shown);
  if (failures.size() > shown)
    lines << QStringLiteral("... and %1 more").arg(failures.size() - shown);
  warn(heading + QLatin1Char('\n') + lines.join(QLatin1Char('\n')));
}

void FileListView::fill() {
  // A new listing ends a rename in progress: its editor goes with the rows.
  renaming_path.clear();
  committed_name.reset();
  clear();
  if (current_directory == drives_text)
    fill_drives();
  else
    fill_folder();
}

void FileListView::setExtraDrives(std::vector<platform::Drive> drives) {
  extra_drives = std::move(drives);
  if (current_directory == drives_text) fill();
}

std::vector<platform::Drive> FileListView::all_drives() const {
  std::vector<platform::Drive> list = platform::drives();
  list.insert(list.end(), extra_drives.begin(), extra_drives.end());
  return list;
}

// Every entry of the drives list leads back to it, the home folder and a
// prefix's drive_c too, though they are not the roots of their volumes.
bool FileListView::is_drive_root(const std::string& folder) const {
  const auto trimmed = [](std::string path) {
    while (path.size() > 1 && path.back() == platform::sep) path.pop_back();
    return path;
  };
  const std::string wanted = trimmed(folder);
  if (platform::is_drive_root(wanted)) return true;
  const auto list = all_drives();
  return std::any_of(list.begin(), list.end(),
                     [&](const platform::Drive& drive) { return trimmed(drive.root) == wanted; });
}

void FileListView::fill_drives() {
  for (const platform::Drive& drive : all_drives()) {
    QTreeWidgetItem* item = add_entry(EntryKind::drive, QString::fromStdString(drive.label),
                                      with_separator(QString::fromStdString(drive.root)));
    item->setText(type_column, QStringLiteral("Drive"));
  }
}

void FileListView::fill_folder() {
  add_path_entry(EntryKind::parent, parent_caption, directory_bytes + "..");

  std::vector<platform::DirEntry> folders;
  std::vector<platform::DirEntry> files;
  for (platform::DirEntry& entry :
       platform::find_entries(directory_bytes, "*.*", platform::attr_any)) {
    if (entry.name == "." || entry.name == "..") continue;
    ((entry.attributes & platform::attr_directory) ? folders : files).push_back(std::move(entry));
  }
  std::sort(folders.begin(), folders.end(), name_less);
  std::sort(files.begin(), files.end(), name_less);

  const QLocale locale;
  const auto add = [&](const platform::DirEntry& entry, bool folder) {
    const QString name = shown(entry.name);
    const std::string path = directory_bytes + entry.name;
    QTreeWidgetItem* item =
        add_path_entry(folder ? EntryKind::folder : EntryKind::file, name, path);
    if (!folder) item->setText(size_column, size_text(entry.size));
    item->setText(type_column, type_text(name, folder));
    item->setText(modified_column, time_text(locale, entry.modified_ms));
    item->setText(attributes_column, attributes_text(entry.attributes));
  };
  for (const platform::DirEntry& entry : folders) add(entry, true);
  for (const platform::DirEntry& entry : files) add(entry, false);
}

QTreeWidgetItem* FileListView::add_entry(EntryKind kind, const QString& caption,
                                         const QString& path) {
  return add_path_entry(kind, caption, local(path));
}

const QIcon& FileListView::kind_icon(EntryKind kind) {
  if (kind_icons_style != style()) {
    kind_icons_style = style();
    kind_icons = {};
  }
  QIcon& icon = kind_icons[static_cast<std::size_t>(kind)];
  if (icon.isNull()) {
    QStyle::StandardPixmap pixmap = QStyle::SP_FileIcon;
    switch (kind) {
      case EntryKind::drive:
        pixmap = QStyle::SP_DriveHDIcon;
        break;
      case EntryKind::parent:
        pixmap = QStyle::SP_FileDialogToParent;
        break;
      case EntryKind::folder:
        pixmap = QStyle::SP_DirIcon;
        break;
      case EntryKind::file:
        break;
    }
    icon = style()->standardIcon(pixmap);
  }
  return icon;
}

QTreeWidgetItem* FileListView::add_path_entry(EntryKind kind, const QString& caption,
                                              const std::string& path) {
  auto* item = new QTreeWidgetItem(this);
  item->setText(name_column, caption);
  item->setIcon(name_column, kind_icon(kind));
  item->setData(name_column, kind_role, static_cast<int>(kind));
  item->setText(path_column, shown(path));
  item->setData(path_column, path_role, QByteArray::fromStdString(path));
  item->setTextAlignment(size_column, Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

QTreeWidgetItem* FileListView::find_entry(const std::string& path, Qt::CaseSensitivity cs) const {
  for (int i = 0; i < topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = topLevelItem(i);
    if (kind_of(item) == EntryKind::parent) continue;
    const std::string own = path_of(item);
    if (cs == Qt::CaseSensitive ? own == path : equal_ignoring_ascii_case(own, path)) return item;
  }
  return nullptr;
}

void FileListView::open_entry(const QTreeWidgetItem* item) {
  const std::string path = path_of(item);
  switch (kind_of(item)) {
    case EntryKind::parent:
      oneLevelUp();
      break;
    case EntryKind::drive:
    case EntryKind::folder:
      setDirectoryBytes(path);
      break;
    case EntryKind::file:
      if (openFile)
        openFile(shown(path));
      else
        platform::open_with_default(path);
      break;
  }
}

void FileListView::raise_click(const QTreeWidgetItem* item) {
  selected_item = item->text(path_column);
  selected_bytes = path_of(item);
  emit listClick();
}

FileListView::EntryKind FileListView::kind_of(const QTreeWidgetItem* item) {
  return static_cast<EntryKind>(item->data(name_column, kind_role).toInt());
}

}  // namespace wingstow
