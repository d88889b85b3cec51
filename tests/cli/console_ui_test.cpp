// The terminal's progress line: the bar, its percent and the bytes behind it.

#include "cli/console_ui.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace wingstow::cli {
namespace {

// What the progress calls of work draw on a terminal, or without one.
std::string drawn(bool terminal, const std::function<void(ConsoleUi&)>& work) {
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* err = open_memstream(&text, &size);
  {
    ConsoleSettings settings;
    settings.progress = terminal;
    settings.err = err;
    ConsoleUi ui(settings);
    work(ui);
  }
  std::fclose(err);
  std::string out(text, size);
  std::free(text);
  return out;
}

TEST(ConsoleUiTest, TheProgressLineTellsPercentAndBytes) {
  // Unzip moves the bar and tells the bytes behind it.
  const auto unzip = [](ConsoleUi& ui) {
    ui.progress_bytes(0, 29'000'000);
    ui.set_progress_bar(10000, 1);
    ui.progress_bytes(12'300'000, 29'000'000);
    ui.set_progress_bar(10000, 4242);
  };
  // The install's copies tell bytes alone, under their caption.
  const auto install = [](ConsoleUi& ui) {
    ui.progress_caption("copy into fs2004");
    ui.progress_bytes(0, 4'000'000);
    ui.progress_bytes(3'000'000, 4'000'000);
  };
  // Under a megabyte, kilobytes.
  const auto small = [](ConsoleUi& ui) { ui.progress_bytes(300, 600); };
  struct Case {
    std::function<void(ConsoleUi&)> work;
    std::vector<std::string> lines;
  };
  for (const Case& c : {Case{unzip, {"] 0% 0.0 of 29.0 MB", "] 42% 12.3 of 29.0 MB"}},
                        Case{install, {"] 75% 3.0 of 4.0 MB copy into fs2004"}},
                        Case{small, {"] 50% 0.3 of 0.6 kB"}}}) {
    const std::string out = drawn(true, c.work);
    for (const auto& line : c.lines) EXPECT_NE(out.find(line), std::string::npos) << out;
    // Cleared when the work ends, so that later lines start clean.
    EXPECT_EQ(out.substr(out.size() - 4), "\r\033[K");
    EXPECT_EQ(drawn(false, c.work), "");
  }
}

}  // namespace
}  // namespace wingstow::cli
