#pragma once

#include <stdexcept>
#include <string>

namespace wingstow {

// A failure the user is told about by the application's default error
// handler; what() is the message exactly as it is shown.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace wingstow
