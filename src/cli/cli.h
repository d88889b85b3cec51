#pragma once

// wingstow-cli: the engine of Wingstow driven from a terminal.

#include <string>
#include <vector>

namespace wingstow::cli {

// Exit statuses.
inline constexpr int exit_success = 0;
inline constexpr int exit_failure = 1;
inline constexpr int exit_usage = 2;
inline constexpr int exit_question = 3;

// Runs the command line (the program's name first) and gives the exit
// status. A QCoreApplication must exist.
int run(const std::vector<std::string>& arguments);

}  // namespace wingstow::cli
