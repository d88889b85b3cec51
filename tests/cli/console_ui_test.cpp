// The terminal's progress line: the bar, its percent and the bytes behind it.

#include "cli/console_ui.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace wingstow::cli {
namespace {

// What the progress calls draw on a terminal, and nothing without one.
std::string drawn(bool terminal) {
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* err = open_memstream(&text, &size);
  {
    ConsoleSettings settings;
    settings.progress = terminal;
    settings.err = err;
    ConsoleUi ui(settings);
    ui.progress_bytes(0, 29'000'000);
    ui.set_progress_bar(10000, 1);
    ui.progress_bytes(12'300'000, 29'000'000);
    ui.set_progress_bar(10000, 4242);
  }
  std::fclose(err);
  std::string out(text, size);
  std::free(text);
  return out;
}

TEST(ConsoleUiTest, TheProgressLineTellsPercentAndBytes) {
  const std::string out = drawn(true);
  EXPECT_NE(out.find("] 0% 0.0 of 29.0 MB"), std::string::npos) << out;
  EXPECT_NE(out.find("] 42% 12.3 of 29.0 MB"), std::string::npos) << out;
  // Cleared when the work ends, so that later lines start clean.
  EXPECT_EQ(out.substr(out.size() - 4), "\r\033[K");
  EXPECT_EQ(drawn(false), "");
}

}  // namespace
}  // namespace wingstow::cli
