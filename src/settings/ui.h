#pragma once

// The engine's only way to the user. The main window implements it with real
// widgets and message boxes; tests implement it with a recorder.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wingstow {

enum class MessageKind {
  warning,
  error,
  information,
  confirmation,
  plain,              // captioned with the application's title, one OK button
  application_error,  // the default error handler's box: error icon, application title
};

enum class Buttons { ok, yes_no, ok_cancel };

enum class Answer { ok, cancel, yes, no };

enum class Animation { copy_files, delete_file };

class Ui {
 public:
  virtual ~Ui() = default;

  virtual Answer message(MessageKind kind, std::string_view text, Buttons buttons) = 0;

  // Simple text of StatusBar1.
  virtual void status(std::string_view text) = 0;

  // Controls by their object names ("SpeedButton7", "edit_unzip", ...).
  virtual void set_enabled(std::string_view control, bool enabled) = 0;
  virtual void set_text(std::string_view control, std::string_view text) = 0;

  // The file list LsFilelistView_util.
  virtual void show_folder(std::string_view folder) = 0;
  virtual std::string list_directory() = 0;

  // Makes a page of PageControl1 ("TabSheet1", ...) the active one.
  virtual void set_active_page(std::string_view page) = 0;

  // The catalogue ListBox2: entries are kept sorted without regard to case,
  // each one unchecked.
  virtual void set_catalogue(const std::vector<std::string>& entries) = 0;
  virtual std::vector<std::string> catalogue() = 0;

  // Shows the chooser Form2 modally with this caption and its folder tree
  // enabled; the selected folder (no trailing separator) when it ends with
  // OK, nothing otherwise.
  virtual std::optional<std::string> run_chooser(std::string_view caption) = 0;

  // The progress window Form1.
  virtual void progress_animation(Animation animation) = 0;
  virtual void progress_start() = 0;
  virtual void progress_stop() = 0;
  virtual void progress_caption(std::string_view caption) = 0;
  virtual void progress_show() = 0;
  virtual void progress_close() = 0;

  // States the engine reads.
  virtual bool prompt_checked() = 0;
  virtual std::string simulator_tag() = 0;  // "fs2002", "fs2004" or empty

  // Lets the window repaint and the animation play during long work, while
  // user input stays blocked.
  virtual void pump() = 0;
};

}  // namespace wingstow
