#pragma once

// What the file list's actions do to the disk and the clipboard, apart from
// the list's rows: copy and cut in the clipboard format file managers
// exchange, paste (a copy or a move, by platform/file_transfer.h) with
// progress and cancel, rename, new folder, trash, and the find-file dialog.
// Paths are the file system's bytes; QString only carries what the user
// reads or types.

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_transfer.h"
#include "platform/files.h"

class QWidget;

namespace wingstow::file_operations {

// --- Paths as bytes ----------------------------------------------------------

std::string local(const QString& path);
// For display only: bytes that are not UTF-8 show as replacement characters.
QString shown(const std::string& path);
using platform::folder_part;
using platform::name_part;
using platform::with_trailing_separator;
using platform::without_trailing_separators;
// What QDir::cleanPath(QFileInfo(path).absoluteFilePath()) gives, on bytes:
// absolute, without "." and "..", without repeated separators.
std::string clean_absolute(const std::string& path);

// A heading and the failures under it, at most a screenful; empty when
// nothing failed.
QString failure_report(const QString& heading, const QStringList& failures);

// --- Clipboard ---------------------------------------------------------------

// The paths go to the desktop clipboard as local URLs, with GNOME's and
// KDE's markers telling a cut from a copy.
void put_on_clipboard(const std::vector<std::string>& paths, bool cut);

struct ClipboardFiles {
  std::vector<std::string> sources;  // absolute, without trailing separator
  bool cut = false;
};
ClipboardFiles clipboard_files();
bool files_on_clipboard();

// --- Paste -------------------------------------------------------------------

// The owner's view of a paste, in bytes of file data. started comes once,
// before the first file; step after every file and between the chunks of a
// large one, and a false answer cancels the paste before its next file;
// finished comes once after started, whatever the end, before any message.
// Without step, events are pumped (user input excluded) and nothing cancels.
struct PasteProgress {
  std::function<void(qint64 total_bytes)> started;
  std::function<bool(qint64 done_bytes)> step;
  std::function<void()> finished;
};

struct PasteOutcome {
  std::size_t items = 0;  // sources on the clipboard
  // Sources not pasted whole, still where they were: failed or left by a
  // cancel.
  std::vector<std::string> unpasted;
  std::vector<std::string> cancelled;  // those left by a cancel
  QStringList failures;                // "path: reason"
};

// Copies (after a cut: moves) the clipboard's files and folders into folder
// (with its separator) as platform::transfer_entries does, never over
// another entry, under a wait cursor, the failures worded for the user.
PasteOutcome paste_files(const ClipboardFiles& files, const std::string& folder,
                         const PasteProgress& progress);

// After a cut, the clipboard keeps the sources still where they were, so
// that another paste finishes the move; nothing when all of them moved.
void clipboard_after_cut(const PasteOutcome& outcome);

// The one message telling what a paste did not do; empty when it did all.
QString paste_report(const PasteOutcome& outcome);

// --- Rename, new folder, trash -----------------------------------------------

struct RenameResult {
  std::string target;
  QString problem;  // empty when renamed
};
// Renames source to name in its folder, never replacing another entry (in
// any letter case; the entry itself may change its letter case).
RenameResult rename_entry(const std::string& source, const QString& name);

struct NewFolder {
  std::string path;  // empty when none could be made
  QString problem;
};
// "New Folder", "New Folder (2)", ... in folder (with its separator).
NewFolder create_new_folder(const std::string& folder);

QString trash_question(const std::vector<std::string>& paths);
// The failures, one line each.
QStringList move_to_trash(const std::vector<std::string>& paths);

// --- Find --------------------------------------------------------------------

// Files under folder and its subfolders whose names match mask ("*", "?",
// letter case ignored; empty means every file), depth-first in name order,
// linked folders not entered; found returns false to stop the walk.
void walk_files(const std::string& folder, const QString& mask,
                const std::function<bool(const std::string&)>& found);

// A modal dialog, shown at once, asking a name mask and listing the matches
// below root; activating a match closes it and hands the match to show.
void open_find_dialog(QWidget* parent, const std::string& root,
                      std::function<void(const std::string&)> show);

}  // namespace wingstow::file_operations
