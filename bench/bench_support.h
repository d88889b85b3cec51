#pragma once

// What the benchmark drivers share: a user who says yes to everything, and
// the one line each work prints.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/quiet_feedback.h"
#include "base/ui.h"

namespace wingstow::bench {

using wingstow::Answer;
using wingstow::Buttons;
using wingstow::MessageKind;

// A user who says yes to everything and watches nothing: the file list holds
// the one archive to unzip, the catalogue the records to remove.
class YesUi : public wingstow::QuietFeedbackOf<wingstow::Ui> {
 public:
  using Control = wingstow::Control;

  Answer message(MessageKind kind, std::string_view text, Buttons buttons) override {
    messages.emplace_back(text);
    return QuietFeedbackOf::message(kind, text, buttons);
  }

  void set_enabled(Control, bool) override {}
  void set_text(Control, std::string_view) override {}
  void show_folder(std::string_view) override {}
  void set_list_item_caption(int, std::string_view) override {}
  void list_refresh() override {}
  void set_list_multi_select(bool) override {}
  void load_picture(Control, std::string_view) override {}
  void clear_picture(Control) override {}
  void set_picture_list(const std::vector<std::string>&) override {}
  void set_active_page(Control) override {}
  int catalogue_index() override { return -1; }
  void set_found_list(const std::vector<std::string>&) override {}
  std::string text_of(Control) override { return {}; }
  std::optional<std::string> run_chooser(std::string_view,
                                         const std::vector<std::string>&) override {
    return std::nullopt;
  }
  std::string list_directory() override { return list_folder; }
  std::string list_selected_item() override { return list_item; }
  int list_count() override { return list_item.empty() ? 0 : 1; }
  std::string list_item_path(int) override { return list_item; }
  std::string list_item_caption(int) override {
    return std::filesystem::path(list_item).filename();
  }
  bool list_item_highlighted(int) override { return highlighted; }
  void set_list_item_highlighted(int, bool on) override { highlighted = on; }
  void set_catalogue(const std::vector<std::string>& entries) override {
    catalogue_entries = entries;
    checked.clear();
  }
  std::vector<std::string> catalogue() override { return catalogue_entries; }
  bool catalogue_checked(int index) override { return checked.contains(index); }
  void set_catalogue_checked(int index, bool on) override {
    on ? void(checked.insert(index)) : void(checked.erase(index));
  }
  std::string simulator_tag() override { return "fs2004"; }

  std::string list_folder;
  std::string list_item;
  bool highlighted = false;
  std::vector<std::string> catalogue_entries;
  std::set<int> checked;
  std::vector<std::string> messages;
};

// ---- Measuring

using Clock = std::chrono::steady_clock;

inline long peak_kib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

inline int report(Clock::time_point start, Clock::time_point end, long count) {
  const double seconds = std::chrono::duration<double>(end - start).count();
  std::printf("%.6f %ld %ld\n", seconds, peak_kib(), count);
  return 0;
}

// Keeps the user's trash, Wine prefixes and runtime folder out of the work:
// they are made beside the data, so trashing is a rename on one file system.
inline void private_home(const std::filesystem::path& folder) {
  const std::filesystem::path home = folder / "home";
  std::filesystem::create_directories(home / ".local/share");
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
  ::unsetenv("WINEPREFIX");
  const std::filesystem::path runtime = folder / "runtime";
  std::filesystem::create_directories(runtime);
  std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
}

[[noreturn]] inline void fail(const std::string& what, const YesUi& ui) {
  std::fprintf(stderr, "%s\n", what.c_str());
  for (const auto& message : ui.messages) std::fprintf(stderr, "  message: %s\n", message.c_str());
  std::exit(1);
}

inline std::string with_sep(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

}  // namespace wingstow::bench
