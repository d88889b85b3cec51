#pragma once

// A Ui that remembers everything the engine asked of it, in order, and
// answers questions from a script.

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/ui.h"

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
  std::vector<std::vector<std::string>> chooser_found_roots;  // one list a showing
  std::vector<std::string> progress;  // "animation copy", "start", "caption X", ...
  // Answers of the next text inputs (passwords); when none is left, Cancel.
  std::deque<std::optional<std::string>> inputs;
  std::vector<std::string> input_prompts;  // "caption|prompt"
  // Called at each process_messages(), e.g. to press Cancel midway.
  std::function<void()> on_process_messages;
  int processed = 0;
  bool prompt = false;
  std::string tag;
  int pumps = 0;

  // Texts of the messages, in order.
  std::vector<std::string> message_texts() const;
  // Enabled state of a control, nothing when the engine never set it.
  std::optional<bool> enabled_state(const std::string& control) const;

  Answer message(MessageKind kind, std::string_view text, Buttons buttons) override;
  void status(std::string_view text) override { statuses.emplace_back(text); }
  std::optional<std::string> status_text() override {
    return statuses.empty() ? std::string() : statuses.back();
  }
  // Kept by the controls' object names, as the tests ask for them.
  void set_enabled(Control control, bool on) override {
    enabled[std::string(control_name(control))] = on;
  }
  void set_text(Control control, std::string_view text) override {
    texts[std::string(control_name(control))] = std::string(text);
  }
  // The file list, read from the disk like the real one: " Parent" first,
  // then folders, then files, each sorted without regard to case.
  struct Item {
    std::string path;
    std::string caption;
    bool highlighted = false;
  };
  std::string directory = "Drives";
  std::string selected_item;
  std::vector<Item> items;
  bool multi_select = false;
  int refreshes = 0;
  // Points the list at folder and makes the entry named name the clicked one.
  void click(const std::string& name);
  int index_of(const std::string& name) const;

  void show_folder(std::string_view folder) override;
  std::string list_directory() override { return directory; }
  std::string list_selected_item() override { return selected_item; }
  int list_count() override { return static_cast<int>(items.size()); }
  std::string list_item_path(int i) override { return items.at(i).path; }
  std::string list_item_caption(int i) override { return items.at(i).caption; }
  void set_list_item_caption(int i, std::string_view caption) override {
    items.at(i).caption = std::string(caption);
  }
  bool list_item_highlighted(int i) override { return items.at(i).highlighted; }
  void set_list_item_highlighted(int i, bool on) override { items.at(i).highlighted = on; }
  void list_refresh() override;
  // Tooltips set on entries, by index; an empty one taken away.
  std::map<int, std::string> tooltips;
  void set_list_item_tooltip(int i, std::string_view text) override {
    if (text.empty())
      tooltips.erase(i);
    else
      tooltips[i] = std::string(text);
  }
  void set_list_multi_select(bool multi) override { multi_select = multi; }

  std::map<std::string, std::string> pictures;  // control -> file, "" when cleared
  std::vector<std::string> picture_list;
  std::vector<std::pair<int, int>> progress_bar;  // (maximum, position) as set
  std::vector<std::pair<std::uint64_t, std::uint64_t>> bytes_progress;  // done, total
  std::vector<bool> wait_cursor;
  void load_picture(Control control, std::string_view path) override {
    pictures[std::string(control_name(control))] = std::string(path);
  }
  void clear_picture(Control control) override {
    pictures[std::string(control_name(control))].clear();
  }
  void set_picture_list(const std::vector<std::string>& paths) override { picture_list = paths; }
  void set_progress_bar(int maximum, int position) override {
    progress_bar.emplace_back(maximum, position);
  }
  void progress_bytes(std::uint64_t done, std::uint64_t total) override {
    bytes_progress.emplace_back(done, total);
  }
  void set_wait_cursor(bool waiting) override { wait_cursor.push_back(waiting); }
  void set_active_page(Control page) override { pages.emplace_back(control_name(page)); }
  void set_catalogue(const std::vector<std::string>& entries) override {
    catalogue_entries = entries;
    checked.clear();
  }
  std::vector<std::string> catalogue() override { return catalogue_entries; }
  // ListBox2's check marks by index, its selected entry, and ListBox3.
  std::set<int> checked;
  int catalogue_selected = -1;
  std::vector<std::string> found_list;
  bool catalogue_checked(int index) override { return checked.contains(index); }
  void set_catalogue_checked(int index, bool on) override {
    if (on)
      checked.insert(index);
    else
      checked.erase(index);
  }
  int catalogue_index() override { return catalogue_selected; }
  void set_found_list(const std::vector<std::string>& names) override { found_list = names; }
  // The texts set by the engine or by the test ("Edit3").
  std::string text_of(Control control) override {
    auto it = texts.find(std::string(control_name(control)));
    return it == texts.end() ? std::string() : it->second;
  }
  std::optional<std::string> run_chooser(std::string_view caption,
                                         const std::vector<std::string>& found_roots) override;
  // Counts the waits for the look for Wine prefixes; the first one runs
  // finds_arrive, as the window's look in the background delivers them.
  int finds_awaited = 0;
  std::function<void()> finds_arrive;
  void await_simulator_finds() override {
    if (finds_awaited++ == 0 && finds_arrive) finds_arrive();
  }
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
  std::optional<std::string> input_text(std::string_view caption, std::string_view prompt_text,
                                        bool secret) override;
  void process_messages() override {
    ++processed;
    if (on_process_messages) on_process_messages();
  }
  // The next of choices_made (nothing when none is left), and what was
  // offered each time.
  std::deque<std::optional<std::string>> choices_made;
  std::vector<std::vector<std::string>> choices_offered;
  std::optional<std::string> choose(const Question& question,
                                    const std::vector<std::string>& choices) override {
    messages.push_back({question.kind, question.text, question.buttons});
    choices_offered.push_back(choices);
    if (choices_made.empty()) return std::nullopt;
    auto made = choices_made.front();
    choices_made.pop_front();
    return made;
  }
};

}  // namespace wingstow::test
