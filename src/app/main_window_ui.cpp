// The window as the engine's Ui: message boxes, the status line, the
// progress window, the file list, the catalogue, the pictures and the
// states of the controls, reached by their names.

#include "app/main_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidgetItem>
#include <algorithm>
#include <stdexcept>
#include <utility>

#include "app/chooser_window.h"
#include "app/message_box.h"
#include "app/progress_window.h"
#include "base/path_helpers.h"
#include "platform/files.h"
#include "platform/qt_text.h"
#include "widgets/file_list_view.h"
#include "widgets/picture_view.h"

namespace wingstow {

namespace {

using platform::qt_text;

// Where a list entry or a text box keeps the bytes of the path it shows.
constexpr int path_bytes_role = Qt::UserRole;
constexpr const char* text_bytes_property = "wingstow_text_bytes";

}  // namespace

QWidget* Tutil::control(std::string_view name) const {
  auto* widget = findChild<QWidget*>(qt_text(name));
  if (!widget) throw std::logic_error("No control named " + std::string(name));
  return widget;
}

Answer Tutil::message(MessageKind kind, std::string_view text, Buttons buttons) {
  if (dialogs_) return dialogs_->message(kind, text, buttons);
  return show_message_box(isVisible() ? this : nullptr, kind, text, buttons);
}

void Tutil::status(std::string_view text) {
  if (text.empty())
    StatusBar1->clearMessage();
  else
    StatusBar1->showMessage(qt_text(text));
}

std::optional<std::string> Tutil::status_text() {
  return StatusBar1->currentMessage().toStdString();
}

void Tutil::set_enabled(Control which, bool enabled) {
  if (which == Control::util)
    setEnabled(enabled);
  else
    control(control_name(which))->setEnabled(enabled);
}

void Tutil::set_text(Control which, std::string_view text) {
  QWidget* widget = control(control_name(which));
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    edit->setText(qt_text(text));
    // A path longer than the field: the whole of it is the tip.
    edit->setToolTip(qt_text(text));
    // The bytes, for text_of while the text stays as set (a path).
    edit->setProperty(text_bytes_property, QByteArray(text.data(), qsizetype(text.size())));
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget))
    button->setText(qt_text(text));
  else if (auto* label = qobject_cast<QLabel*>(widget))
    label->setText(qt_text(text));
  else
    widget->setWindowTitle(qt_text(text));
}

// Paths cross to and from the file list as bytes: a name that is not UTF-8
// would not come back from a QString as it went in.
void Tutil::show_folder(std::string_view folder) {
  set_check_notice({}, {});
  LsFilelistView_util->setDirectoryBytes(std::string(folder));
}

void Tutil::set_check_notice(std::string_view text, std::string_view package) {
  check_notice_package_ = text.empty() ? std::string() : std::string(package);
  CheckNotice->setText(qt_text(text));
  CheckNotice->setToolTip(
      text.empty() ? QString()
                   : qt_text(last_path_part(platform::without_trailing_separators(package), 0)) +
                         ": " + qt_text(text) + ". Click to see what is missing and what to do.");
  CheckNotice->setVisible(!text.empty());
}

std::string Tutil::list_directory() { return LsFilelistView_util->directoryBytes(); }

std::string Tutil::list_selected_item() { return LsFilelistView_util->selectedItemBytes(); }

int Tutil::list_count() { return LsFilelistView_util->itemCount(); }

std::string Tutil::list_item_path(int index) { return LsFilelistView_util->itemPathBytes(index); }

std::string Tutil::list_item_caption(int index) {
  return LsFilelistView_util->itemCaption(index).toStdString();
}

void Tutil::set_list_item_caption(int index, std::string_view caption) {
  LsFilelistView_util->setItemCaption(index, qt_text(caption));
}

// The check's count joins the entry's own tooltip (a caption's), on every
// column, so that it shows wherever the mouse rests on the entry.
void Tutil::set_list_item_tooltip(int index, std::string_view text) {
  QTreeWidgetItem* item = LsFilelistView_util->topLevelItem(index);
  if (!item) return;
  const QString shown = item->text(FileListView::name_column);
  const QString own = shown == LsFilelistView_util->itemCaption(index) ? QString() : shown;
  const QString tip = text.empty() ? QString() : shown + "\n" + qt_text(text);
  for (int column = 0; column < FileListView::path_column; ++column)
    item->setToolTip(column, column == FileListView::name_column && text.empty() ? own : tip);
}

bool Tutil::list_item_highlighted(int index) { return LsFilelistView_util->itemHighlighted(index); }

void Tutil::set_list_item_highlighted(int index, bool highlighted) {
  LsFilelistView_util->setItemHighlighted(index, highlighted);
}

void Tutil::list_refresh() { LsFilelistView_util->refresh(); }

void Tutil::set_list_multi_select(bool multi) { LsFilelistView_util->setMultiSelect(multi); }

void Tutil::load_picture(Control which, std::string_view path) {
  if (auto* view = findChild<PictureView*>(qt_text(control_name(which)))) view->load(qt_text(path));
}

void Tutil::clear_picture(Control which) {
  if (auto* view = findChild<PictureView*>(qt_text(control_name(which)))) view->clear();
}

void Tutil::set_picture_list(const std::vector<std::string>& paths) {
  ListBox1->clear();
  // Shown below the folder they all share (the package's, or one inside
  // it), so that liveries' pictures can be told apart; the whole path is
  // the tip and what a click shows.
  std::string shared_folder;
  if (!paths.empty()) shared_folder = paths.front().substr(0, paths.front().rfind('/') + 1);
  for (const auto& path : paths)
    while (!shared_folder.empty() && !path.starts_with(shared_folder)) {
      const auto cut = shared_folder.size() > 1 ? shared_folder.rfind('/', shared_folder.size() - 2)
                                                : std::string::npos;
      shared_folder.erase(cut == std::string::npos ? 0 : cut + 1);
    }
  for (const auto& path : paths) {
    auto* item = new QListWidgetItem(qt_text(path.substr(shared_folder.size())));
    item->setData(Qt::UserRole, qt_text(path));
    item->setToolTip(qt_text(path));
    ListBox1->addItem(item);
  }
}

void Tutil::set_progress_bar(int maximum, int position) {
  ProgressBar1->setMaximum(maximum);
  ProgressBar1->setValue(position);
}

void Tutil::set_wait_cursor(bool waiting) {
  if (waiting)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else if (QApplication::overrideCursor())
    QApplication::restoreOverrideCursor();
}

void Tutil::set_active_page(Control page) {
  PageControl1->setCurrentWidget(control(control_name(page)));
}

// Each entry keeps the record's path as bytes beside the text shown: a
// record named in Latin-1 must be read and removed under its own name.
void Tutil::set_catalogue(const std::vector<std::string>& entries) {
  std::vector<std::pair<QString, const std::string*>> sorted;
  sorted.reserve(entries.size());
  for (const auto& entry : entries) sorted.emplace_back(qt_text(entry), &entry);
  const auto before = [](const auto& a, const auto& b) {
    return a.first.compare(b.first, Qt::CaseInsensitive) < 0;
  };
  // The records come sorted as the folder listing sorts them, which is this
  // order for ASCII names: a check instead of a sort of thousands.
  if (!std::is_sorted(sorted.begin(), sorted.end(), before))
    std::stable_sort(sorted.begin(), sorted.end(), before);
  const QSignalBlocker quiet(ListBox2);
  ListBox2->clear();
  for (const auto& [text, path] : sorted) {
    // Complete before it joins the list, so that the list is told once.
    auto* item = new QListWidgetItem(text);
    item->setData(path_bytes_role, QByteArray::fromStdString(*path));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    ListBox2->addItem(item);
  }
}

std::vector<std::string> Tutil::catalogue() {
  std::vector<std::string> entries;
  for (int i = 0; i < ListBox2->count(); ++i)
    entries.push_back(ListBox2->item(i)->data(path_bytes_role).toByteArray().toStdString());
  return entries;
}

bool Tutil::catalogue_checked(int index) {
  const auto* item = ListBox2->item(index);
  return item && item->checkState() == Qt::Checked;
}

void Tutil::set_catalogue_checked(int index, bool checked) {
  const QSignalBlocker quiet(ListBox2);
  if (auto* item = ListBox2->item(index))
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

int Tutil::catalogue_index() { return ListBox2->currentRow(); }

void Tutil::set_found_list(const std::vector<std::string>& names) {
  ListBox3->clear();
  for (const auto& name : names) ListBox3->addItem(qt_text(name));
}

std::string Tutil::text_of(Control which) {
  auto* edit = qobject_cast<QLineEdit*>(control(control_name(which)));
  if (!edit) return {};
  const QByteArray set = edit->property(text_bytes_property).toByteArray();
  if (!set.isNull() && qt_text(set.toStdString()) == edit->text()) return set.toStdString();
  return edit->text().toStdString();
}

std::optional<std::string> Tutil::run_chooser(std::string_view caption,
                                              const std::vector<std::string>& found_roots) {
  Form2->setWindowTitle(qt_text(caption));
  Form2->LsDirTree1->setEnabled(true);
  Form2->offer_simulators(found_roots, shared_.wine_prefixes);
  if (Form2->exec() != QDialog::Accepted) return std::nullopt;
  return Form2->LsDirTree1->selectedFolder().toStdString();
}

void Tutil::progress_animation(Animation animation) {
  Form1->Animate1->setKind(animation == Animation::copy_files ? AnimationView::Kind::copy_files
                                                              : AnimationView::Kind::delete_file);
}

void Tutil::progress_start() { Form1->Animate1->start(); }
void Tutil::progress_stop() { Form1->Animate1->stop(); }
void Tutil::progress_caption(std::string_view caption) { Form1->setWindowTitle(qt_text(caption)); }
void Tutil::progress_show() { Form1->show(); }
void Tutil::progress_close() { Form1->hide(); }

bool Tutil::prompt_checked() { return prompt->isChecked(); }

std::string Tutil::simulator_tag() {
  if (fs2002x->isChecked()) return "fs2002";
  if (fs2004x->isChecked()) return "fs2004";
  return {};
}

void Tutil::pump() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

void Tutil::process_messages() { QCoreApplication::processEvents(); }

std::optional<std::string> Tutil::input_text(std::string_view caption, std::string_view prompt,
                                             bool secret) {
  if (dialogs_) return dialogs_->input_text(caption, prompt, secret);
  QInputDialog dialog(isVisible() ? this : nullptr);
  dialog.setWindowTitle(qt_text(caption));
  dialog.setLabelText(qt_text(prompt));
  dialog.setTextEchoMode(secret ? QLineEdit::Password : QLineEdit::Normal);
  dialog.setOkButtonText("OK");
  dialog.setCancelButtonText("Annuler");
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.textValue().toStdString();
}

std::optional<std::string> Tutil::choose(const Question& question,
                                         const std::vector<std::string>& choices) {
  if (dialogs_) return dialogs_->choose(question, choices);
  QInputDialog dialog(isVisible() ? this : nullptr);
  dialog.setWindowTitle("Confirmation");
  dialog.setLabelText(qt_text(question.text));
  QStringList items;
  for (const auto& choice : choices) items.append(qt_text(choice));
  dialog.setComboBoxItems(items);
  dialog.setComboBoxEditable(false);
  dialog.setOkButtonText("OK");
  dialog.setCancelButtonText("Annuler");
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const int index = static_cast<int>(items.indexOf(dialog.textValue()));
  if (index < 0) return std::nullopt;
  return choices[static_cast<std::size_t>(index)];
}

}  // namespace wingstow
