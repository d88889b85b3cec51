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

void CopiedSums::add(const std::string& target, const platform::CopyResult& copied) {
  if (copied.status != platform::CopyStatus::copied || !copied.sum) return;
  by_path_[record_key(target)] = *copied.sum;
  if (on_copied) on_copied(copied.sum->size);
}

std::optional<std::uint32_t> CopiedSums::crc_of(const std::string& path, std::uint64_t size,
                                                std::int64_t mtime_sec,
                                                std::int64_t mtime_nsec) const {
  const auto found = by_path_.find(record_key(path));
  if (found == by_path_.end()) return std::nullopt;
  const platform::FileSum& sum = found->second;
  if (sum.size != size || sum.mtime_sec != mtime_sec || sum.mtime_nsec != mtime_nsec)
    return std::nullopt;
  return sum.crc;
}

}  // namespace wingstow
