#pragma once

// What every engine command tells the user and asks while it works:
// messages and questions, the status line, the progress bar and window, the
// wait cursor. The main window, wingstow-cli's terminal and the tests'
// recorder implement it; the window's own state lies in base/ui.h.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wingstow {

class Window;  // base/ui.h

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

// A question of a command, with what it is about. A front end that asks
// every question before the work begins (wingstow-cli) answers the engine's
// own from those answers, matched by topic and subject whatever the words.
struct Question {
  std::string topic;    // one per kind of question
  std::string subject;  // the package folder it is about; empty: the whole run
  MessageKind kind = MessageKind::warning;
  std::string text;
  Buttons buttons = Buttons::yes_no;
};

class Feedback {
 public:
  virtual ~Feedback() = default;

  virtual Answer message(MessageKind kind, std::string_view text, Buttons buttons) = 0;

  // A question of the engine: a message box unless it was answered before.
  virtual Answer ask(const Question& question) {
    return message(question.kind, question.text, question.buttons);
  }

  // One of choices (paths), asked by question; nothing when cancelled or
  // when nobody can choose.
  virtual std::optional<std::string> choose(const Question& /*question*/,
                                            const std::vector<std::string>& /*choices*/) {
    return std::nullopt;
  }

  // Simple text of StatusBar1.
  virtual void status(std::string_view text) = 0;
  // What StatusBar1 shows now; nothing where that cannot be told.
  virtual std::optional<std::string> status_text() { return std::nullopt; }

  // ProgressBar1.
  virtual void set_progress_bar(int maximum, int position) = 0;
  // How far long work has come in bytes, where it counts them (unzip, the
  // install's copies): a terminal's progress line tells them with their
  // percent; the window's bar and progress window show the same work.
  virtual void progress_bytes(std::uint64_t /*done*/, std::uint64_t /*total*/) {}

  // The hourglass over the whole program during long work.
  virtual void set_wait_cursor(bool waiting) = 0;

  // The progress window Form1.
  virtual void progress_animation(Animation animation) = 0;
  virtual void progress_start() = 0;
  virtual void progress_stop() = 0;
  virtual void progress_caption(std::string_view caption) = 0;
  virtual void progress_show() = 0;
  virtual void progress_close() = 0;

  // Asks for a line of text in a modal box with OK and Cancel; nothing when
  // cancelled. secret: the text is not shown as typed (passwords).
  virtual std::optional<std::string> input_text(std::string_view caption, std::string_view prompt,
                                                bool secret) = 0;

  // Lets the window repaint and the animation play during long work, while
  // user input stays blocked.
  virtual void pump() = 0;

  // Lets every pending window message run, user input included, so that a
  // Cancel button can be pressed during long work.
  virtual void process_messages() = 0;

  // The front end's choices for the run: the simulator ("fs2002", "fs2004"
  // or empty), and whether packages go in one after another without the
  // questions of each (the window's Multi select box).
  virtual std::string simulator_tag() = 0;
  virtual bool prompt_checked() = 0;

  // The window whose controls and lists follow the command; nothing on a
  // terminal or in a dry run.
  virtual Window* window() { return nullptr; }
};

}  // namespace wingstow
