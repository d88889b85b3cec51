#pragma once

// The engine's Ui on a terminal: messages on standard error with their kind,
// questions answered by --yes or --no or asked on the terminal, a progress
// bar when standard error is a terminal. There is no window here: a command
// gets its archives, packages and records as arguments.

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/quiet_feedback.h"

namespace wingstow::cli {

// Thrown by questions that have no answer: neither --yes nor --no was given
// and standard input is no terminal. Deliberately no std::exception, so that
// no engine routine takes it for a failure of its own and carries on.
struct UnansweredQuestion {
  std::vector<Question> questions;
};

// "warning", "error", "information", ...
std::string_view kind_name(MessageKind kind);

// Yes or OK when agree, No or Cancel otherwise.
Answer agreement(Buttons buttons, bool agree);

// A question as the terminal names it: its subject first, when it has one.
std::string about(const Question& question);

struct ConsoleSettings {
  std::string tag;             // "fs2002" or "fs2004"
  std::optional<bool> answer;  // --yes (true) or --no (false)
  std::string into;            // --into: the airplane a livery goes into
  bool quiet = false;          // no status lines, no progress bar
  bool interactive = false;    // questions may be asked on standard input
  bool progress = false;       // standard error is a terminal
  std::FILE* err = stderr;
};

class ConsoleUi : public QuietFeedback {
 public:
  explicit ConsoleUi(ConsoleSettings settings);
  ~ConsoleUi() override;

  // Everything said, in order, for --json.
  struct Said {
    MessageKind kind;
    std::string text;
    std::string answer;  // "yes", "no", "ok", "cancel" for questions; empty otherwise
  };
  const std::vector<Said>& messages() const { return messages_; }
  const std::vector<std::string>& statuses() const { return statuses_; }
  // Questions met that nobody could answer (a password without a terminal).
  const std::vector<std::string>& unanswered() const { return unanswered_; }

  // Asks a command's questions before it changes anything: answered by --yes
  // or --no, or on the terminal one after the other; without either, throws
  // UnansweredQuestion naming them all. The engine's own questions are then
  // answered from these answers. One it asks besides, once the work began,
  // is refused when nobody can answer it: stopping then would leave the
  // command half done.
  std::vector<Answer> ask_before_work(const std::vector<Question>& questions);

  // A line of the command itself on standard error (a summary, a refusal),
  // clearing the progress bar first; line breaks in it are escaped too,
  // unless it repeats a message of several lines.
  void say(std::string_view text, bool lines = false);

  Answer message(MessageKind kind, std::string_view text, Buttons buttons) override;
  Answer ask(const Question& question) override;
  // --into when it names one of the choices (by its folder, or its name);
  // otherwise asked on the terminal by number, or refused.
  std::optional<std::string> choose(const Question& question,
                                    const std::vector<std::string>& choices) override;
  void status(std::string_view text) override;

  void set_progress_bar(int maximum, int position) override;
  void progress_bytes(std::uint64_t done, std::uint64_t total) override;
  void progress_caption(std::string_view caption) override;
  void progress_close() override { clear_line(); }

  std::string simulator_tag() override { return settings_.tag; }
  std::optional<std::string> input_text(std::string_view caption, std::string_view prompt,
                                        bool secret) override;

 private:
  // Reads a line from standard input; nothing at its end.
  std::optional<std::string> read_line(bool secret);
  Answer answer(MessageKind kind, std::string_view question, Buttons buttons);
  Answer ask_on_terminal(MessageKind kind, std::string_view question, Buttons buttons);
  // Everything on standard error goes through here, control bytes escaped;
  // lines: the text is a message of several lines, its line feeds kept.
  void print(std::string_view text, bool lines = true);
  void draw_line(const std::string& text);
  void draw_progress(int percent);
  void clear_line();

  ConsoleSettings settings_;
  std::vector<Said> messages_;
  std::vector<std::string> statuses_;
  std::vector<std::string> unanswered_;
  std::map<std::pair<std::string, std::string>, Answer> answers_;  // by topic and subject
  bool asked_before_work_ = false;
  std::string caption_;
  std::string bytes_;  // "12.3 of 45.6 MB", of the work the bar shows
  bool line_drawn_ = false;
  int last_percent_ = -1;
};

}  // namespace wingstow::cli
