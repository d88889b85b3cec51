#pragma once

// What the engine asks of the process's surroundings beyond the file
// services of files.h: the environment, the user's home, where a path really
// leads, and the text of a small configuration file of another program.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace wingstow::platform {

// The variable's value; empty when it is unset.
std::string environment_variable(const char* name);

// The user's home folder, without trailing separator: $HOME, or the password
// database's entry when $HOME is unset or empty; empty when neither is known.
std::string home_folder();

// The path with every link, "." and ".." followed, letter case exact, no
// trailing separator; empty when a part is missing or cannot be searched.
std::string real_path(std::string_view path);

// The whole content of a regular file of at most max_bytes, letter case
// exact. Nothing when it is missing, unreadable, larger, or not a regular
// file (a named pipe is never waited on).
std::optional<std::string> read_small_file(std::string_view path, std::size_t max_bytes);

}  // namespace wingstow::platform
