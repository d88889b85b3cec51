#pragma once

// A Ui that remembers everything the engine asked of it, in order, and
// answers questions from a script.

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "settings/ui.h"

namespace wingstow::test {

struct RecordedMessage {
  MessageKind kind;
  std::string text;
  Buttons buttons;
};

class RecordingUi : public Ui {
 public:
  // Answers given to the next questions; when none is left, OK or Yes.
  std::deque<Answer> answers;
  // Results of the next chooser showings; when none is left, Cancel.
  std::deque<std::optional<std::string>> chooser_results;

  std::vector<RecordedMessage> messages;
  std::vector<std::string> statuses;
  std::map<std::string, bool> enabled;
  std::map<std::string, std::string> texts;
  std::vector<std::string> folders_shown;
  std::vector<std::string> pages;
  std::vector<std::string> catalogue_entries;
  std::vector<std::string> chooser_captions;
  std::vector<std::string> progress;  // "animation copy", "start", "caption X", ...
  bool prompt = false;
  std::string tag;
  int pumps = 0;

  // Texts of the messages, in order.
  std::vector<std::string> message_texts() const;
  // Enabled state of a control, nothing when the engine never set it.
  std::optional<bool> enabled_state(const std::string& control) const;

  Answer message(MessageKind kind, std::string_view text, Buttons buttons) override;
  void status(std::string_view text) override { statuses.emplace_back(text); }
  void set_enabled(std::string_view control, bool on) override {
    enabled[std::string(control)] = on;
  }
  void set_text(std::string_view control, std::string_view text) override {
    texts[std::string(control)] = std::string(text);
  }
  void show_folder(std::string_view folder) override { folders_shown.emplace_back(folder); }
  std::string list_directory() override {
    return folders_shown.empty() ? "Drives" : folders_shown.back();
  }
  void set_active_page(std::string_view page) override { pages.emplace_back(page); }
  void set_catalogue(const std::vector<std::string>& entries) override {
    catalogue_entries = entries;
  }
  std::vector<std::string> catalogue() override { return catalogue_entries; }
  std::optional<std::string> run_chooser(std::string_view caption) override;
  void progress_animation(Animation animation) override;
  void progress_start() override { progress.emplace_back("start"); }
  void progress_stop() override { progress.emplace_back("stop"); }
  void progress_caption(std::string_view caption) override {
    progress.push_back("caption " + std::string(caption));
  }
  void progress_show() override { progress.emplace_back("show"); }
  void progress_close() override { progress.emplace_back("close"); }
  bool prompt_checked() override { return prompt; }
  std::string simulator_tag() override { return tag; }
  void pump() override { ++pumps; }
};

}  // namespace wingstow::test
