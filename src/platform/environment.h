#pragma once

// What the engine asks of the process's surroundings beyond the file
// services of files.h: the environment, the user's home, where a path really
// leads.

#include <string>
#include <string_view>

namespace wingstow::platform {

// The variable's value; empty when it is unset.
std::string environment_variable(const char* name);

// The user's home folder, without trailing separator: $HOME, or the password
// database's entry when $HOME is unset or empty; empty when neither is known.
std::string home_folder();

// How many processors this process may run on (its CPU affinity); at
// least 1.
unsigned usable_cores();

// The path with every link, "." and ".." followed, letter case exact, no
// trailing separator; empty when a part is missing or cannot be searched.
std::string real_path(std::string_view path);

}  // namespace wingstow::platform
