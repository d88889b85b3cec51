#pragma once

// Names and texts read from archives, records and cfg files may carry
// control bytes: a line break splits a record line, an escape sequence
// rewrites the user's terminal. One rule tells them, one writes them
// harmlessly.

#include <string>
#include <string_view>

namespace wingstow::platform {

// A byte below 0x20 or 0x7F.
bool is_control_byte(char c);
bool has_control_character(std::string_view text);

// The text with every control byte written out: "\n", "\r", "\t", "\0",
// "\x1b", and the C1 controls of UTF-8 (U+0080 to U+009F) as "\u009b", which
// some terminals obey too. Everything else, the backslash included, stays.
// keep_line_feeds: a text made of lines (a message) keeps its line feeds.
std::string escape_controls(std::string_view text, bool keep_line_feeds = false);

}  // namespace wingstow::platform
