#include "cli/console_ui.h"

#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <utility>

#include "install/livery.h"
#include "platform/ascii_case.h"
#include "platform/control_text.h"

namespace wingstow::cli {
namespace {

constexpr int bar_width = 30;

std::string trimmed(const std::string& text) {
  const auto begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

const char* answer_name(Answer answer) {
  switch (answer) {
    case Answer::ok:
      return "ok";
    case Answer::cancel:
      return "cancel";
    case Answer::yes:
      return "yes";
    case Answer::no:
      return "no";
  }
  return "";
}

}  // namespace

Answer agreement(Buttons buttons, bool agree) {
  if (buttons == Buttons::yes_no) return agree ? Answer::yes : Answer::no;
  return agree ? Answer::ok : Answer::cancel;
}

std::string about(const Question& question) {
  return question.subject.empty() ? question.text : question.subject + ": " + question.text;
}

std::string_view kind_name(MessageKind kind) {
  switch (kind) {
    case MessageKind::warning:
      return "warning";
    case MessageKind::error:
    case MessageKind::application_error:
      return "error";
    case MessageKind::information:
    case MessageKind::plain:
      return "information";
    case MessageKind::confirmation:
      return "confirmation";
  }
  return "information";
}

ConsoleUi::ConsoleUi(ConsoleSettings settings) : settings_(std::move(settings)) {}

ConsoleUi::~ConsoleUi() { clear_line(); }

void ConsoleUi::say(std::string_view text, bool lines) { print(text, lines); }

Answer ConsoleUi::message(MessageKind kind, std::string_view text, Buttons buttons) {
  if (buttons == Buttons::ok) {
    messages_.push_back({kind, std::string(text), {}});
    print(std::string(kind_name(kind)) + ": " + std::string(text));
    return Answer::ok;
  }
  messages_.push_back({kind, std::string(text), {}});
  const Answer given = answer(kind, text, buttons);
  messages_.back().answer = answer_name(given);
  return given;
}

Answer ConsoleUi::ask(const Question& question) {
  const auto known = answers_.find({question.topic, question.subject});
  if (known == answers_.end()) return message(question.kind, question.text, question.buttons);
  // Asked and answered on the terminal already: kept for --json only.
  messages_.push_back({question.kind, question.text, answer_name(known->second)});
  return known->second;
}

std::vector<Answer> ConsoleUi::ask_before_work(const std::vector<Question>& questions) {
  std::vector<Answer> answers;
  std::vector<Question> unanswered;
  for (const auto& question : questions) {
    if (question.topic == "livery base") {
      // Chosen by --into, or on the terminal when it is met.
      if (settings_.into.empty() && !settings_.interactive) unanswered.push_back(question);
      answers.push_back(Answer::ok);
    } else if (settings_.answer) {
      // Told as the engine meets it, with the option that answered it.
      answers.push_back(agreement(question.buttons, *settings_.answer));
    } else if (settings_.interactive) {
      answers.push_back(ask_on_terminal(question.kind, about(question), question.buttons));
      answers_[{question.topic, question.subject}] = answers.back();
    } else {
      unanswered.push_back(question);
    }
  }
  if (!unanswered.empty()) throw UnansweredQuestion{std::move(unanswered)};
  asked_before_work_ = true;
  return answers;
}

std::optional<std::string> ConsoleUi::choose(const Question& question,
                                             const std::vector<std::string>& choices) {
  std::string listed = question.text;
  for (std::size_t i = 0; i < choices.size(); ++i)
    listed += "\n  " + std::to_string(i + 1) + ") " + choices[i];
  messages_.push_back({question.kind, listed, {}});
  if (!settings_.into.empty()) {
    if (const auto choice = choice_named(choices, settings_.into)) {
      print(std::string(kind_name(question.kind)) + ": " + listed + "\n(answered " + *choice +
            " by --into)");
      messages_.back().answer = *choice;
      return choice;
    }
    print("error: " + listed + "\n(--into " + settings_.into + " is none of them)");
    return std::nullopt;
  }
  if (!settings_.interactive) {
    if (!asked_before_work_) throw UnansweredQuestion{{question}};
    print(std::string(kind_name(question.kind)) + ": " + listed +
          "\n(not answered: nobody can be asked; run again with --into)");
    return std::nullopt;
  }
  for (;;) {
    clear_line();
    std::fputs((platform::escape_controls(listed, true) + "\nnumber (empty: none): ").c_str(),
               settings_.err);
    std::fflush(settings_.err);
    const auto line = read_line(false);
    const std::string reply = line ? trimmed(*line) : std::string();
    if (reply.empty()) return std::nullopt;
    const std::size_t number = std::strtoul(reply.c_str(), nullptr, 10);
    if (number >= 1 && number <= choices.size()) {
      messages_.back().answer = choices[number - 1];
      return choices[number - 1];
    }
  }
}

Answer ConsoleUi::answer(MessageKind kind, std::string_view question, Buttons buttons) {
  const std::string text = std::string(kind_name(kind)) + ": " + std::string(question);
  if (settings_.answer) {
    const Answer given = agreement(buttons, *settings_.answer);
    print(text + "\n(answered " + answer_name(given) + " by " +
          (*settings_.answer ? "--yes" : "--no") + ")");
    return given;
  }
  if (settings_.interactive) return ask_on_terminal(kind, question, buttons);
  if (!asked_before_work_)
    throw UnansweredQuestion{{{{}, {}, kind, std::string(question), buttons}}};
  const Answer refused = agreement(buttons, false);
  print(text + "\n(answered " + answer_name(refused) +
        ": not foreseen before the work began, and nobody can be asked; run again with --yes "
        "or --no)");
  return refused;
}

Answer ConsoleUi::ask_on_terminal(MessageKind kind, std::string_view question, Buttons buttons) {
  const std::string text = std::string(kind_name(kind)) + ": " + std::string(question);
  const bool yes_no = buttons == Buttons::yes_no;
  const Answer agree = agreement(buttons, true);
  const Answer refuse = agreement(buttons, false);
  const std::string choices = yes_no ? " [y/n] " : " [ok/cancel] ";
  for (;;) {
    clear_line();
    std::fputs((platform::escape_controls(text, true) + choices).c_str(), settings_.err);
    std::fflush(settings_.err);
    const auto line = read_line(false);
    if (!line) {
      std::fputc('\n', settings_.err);
      return refuse;  // the terminal closed: nothing is agreed to
    }
    const std::string reply = ascii_lower(trimmed(*line));
    if (reply == "y" || reply == "yes" || reply == "ok" || reply == "o" || reply == "oui")
      return agree;
    if (reply == "n" || reply == "no" || reply == "cancel" || reply == "non") return refuse;
  }
}

void ConsoleUi::status(std::string_view text) {
  statuses_.emplace_back(text);
  if (!settings_.quiet && !text.empty()) print(text, false);
}

void ConsoleUi::set_progress_bar(int maximum, int position) {
  if (maximum <= 0) return;
  draw_progress(static_cast<int>(100LL * std::clamp(position, 0, maximum) / maximum));
}

// Drawn again only when the percent changes: a line a second at most.
void ConsoleUi::draw_progress(int percent) {
  if (!settings_.progress || settings_.quiet) return;
  if (percent == last_percent_ && line_drawn_) return;
  last_percent_ = percent;
  const int filled = percent * bar_width / 100;
  draw_line("[" + std::string(filled, '#') + std::string(bar_width - filled, '.') + "] " +
            std::to_string(percent) + "%" + (bytes_.empty() ? "" : " " + bytes_) +
            (caption_.empty() ? "" : " " + caption_));
}

void ConsoleUi::progress_bytes(std::uint64_t done, std::uint64_t total) {
  // In MB (10^6 bytes) as plan tells sizes; in kB where a megabyte would
  // show nothing.
  const bool small = total < 1'000'000;
  const double unit = small ? 1e3 : 1e6;
  char text[64];
  std::snprintf(text, sizeof text, small ? "%.1f of %.1f kB" : "%.1f of %.1f MB",
                static_cast<double>(done) / unit, static_cast<double>(total) / unit);
  bytes_ = total > 0 ? text : "";
  if (total > 0) draw_progress(static_cast<int>(std::min(done, total) * 100 / total));
}

void ConsoleUi::progress_caption(std::string_view caption) {
  caption_ = std::string(caption);
  if (settings_.progress && !settings_.quiet) draw_line(caption_);
}

std::optional<std::string> ConsoleUi::input_text(std::string_view caption, std::string_view prompt,
                                                 bool secret) {
  if (!settings_.interactive) {
    unanswered_.emplace_back(prompt);
    print("information: " + std::string(caption) + ": \"" + std::string(prompt) +
          "\" needs a terminal to be answered; left unanswered");
    return std::nullopt;
  }
  clear_line();
  std::fputs(platform::escape_controls(std::string(caption) + ": " + std::string(prompt)).c_str(),
             settings_.err);
  std::fflush(settings_.err);
  auto line = read_line(secret);
  if (secret || !line) std::fputc('\n', settings_.err);
  return line;
}

std::optional<std::string> ConsoleUi::read_line(bool secret) {
  termios saved{};
  const bool hide = secret && ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (hide) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  std::string line;
  const bool read = static_cast<bool>(std::getline(std::cin, line));
  if (hide) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  if (!read) return std::nullopt;
  return line;
}

void ConsoleUi::print(std::string_view text, bool lines) {
  clear_line();
  // Message boxes break their own lines; any other control byte, from a name
  // or a record, is written out.
  const std::string shown = platform::escape_controls(text, lines);
  std::fwrite(shown.data(), 1, shown.size(), settings_.err);
  std::fputc('\n', settings_.err);
  std::fflush(settings_.err);
}

void ConsoleUi::draw_line(const std::string& text) {
  // One line of the terminal, redrawn in place.
  std::fputs(("\r\033[K" + platform::escape_controls(text)).c_str(), settings_.err);
  std::fflush(settings_.err);
  line_drawn_ = true;
}

void ConsoleUi::clear_line() {
  if (!line_drawn_) return;
  std::fputs("\r\033[K", settings_.err);
  std::fflush(settings_.err);
  line_drawn_ = false;
  last_percent_ = -1;
  bytes_.clear();
}

}  // namespace wingstow::cli
