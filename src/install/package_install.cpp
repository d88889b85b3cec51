#include "install/package_install.h"

#include <algorithm>
#include <cerrno>

namespace wingstow {

bool InstallReport::may_pass(int error) {
  return error != EISDIR && error != EINVAL && error != ENAMETOOLONG;
}

bool InstallReport::any_may_pass() const {
  return std::ranges::any_of(failures, [](const Failure& f) { return may_pass(f.error); });
}

}  // namespace wingstow
