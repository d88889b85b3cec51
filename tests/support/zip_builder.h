#pragma once

#include <string>
#include <utility>
#include <vector>

namespace wingstow::test {

// Writes a ZIP archive holding the given (name, content) entries, names as
// given; throws std::runtime_error when it cannot.
void write_zip(const std::string& path,
               const std::vector<std::pair<std::string, std::string>>& entries);

}  // namespace wingstow::test
