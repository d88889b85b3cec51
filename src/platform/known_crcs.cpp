#include "platform/known_crcs.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace wingstow::platform {

namespace {

struct KnownCrc {
  std::uint64_t size = 0;
  timespec mtime{};
  timespec ctime{};
  std::uint32_t crc = 0;
};
struct FileId {
  dev_t device;
  ino_t inode;
  bool operator==(const FileId&) const = default;
};
struct FileIdHash {
  std::size_t operator()(const FileId& id) const {
    return std::hash<std::uint64_t>{}(static_cast<std::uint64_t>(id.inode) * 31 +
                                      static_cast<std::uint64_t>(id.device));
  }
};
// Enough for the largest packages; beyond, the oldest half goes.
constexpr std::size_t known_limit = 1 << 16;
constexpr std::uint64_t known_min_size = 16 * 1024;
std::mutex known_mutex;
std::unordered_map<FileId, KnownCrc, FileIdHash> known;
std::vector<FileId> known_order;
std::atomic<std::uint64_t> known_taken{0};

bool same_time(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

bool worth_remembering(std::uint64_t size) { return size >= known_min_size; }

void remember_crc(const struct stat& st, std::uint32_t crc) {
  if (!S_ISREG(st.st_mode) || !worth_remembering(static_cast<std::uint64_t>(st.st_size))) return;
  const std::lock_guard lock(known_mutex);
  if (known_order.size() >= known_limit) {
    const auto half = known_order.begin() + static_cast<std::ptrdiff_t>(known_limit / 2);
    for (auto it = known_order.begin(); it != half; ++it) known.erase(*it);
    known_order.erase(known_order.begin(), half);
  }
  const FileId id{st.st_dev, st.st_ino};
  const bool added = known
                         .insert_or_assign(id, KnownCrc{static_cast<std::uint64_t>(st.st_size),
                                                        st.st_mtim, st.st_ctim, crc})
                         .second;
  if (added) known_order.push_back(id);
}

std::optional<std::uint32_t> known_crc(const struct stat& st) {
  if (!worth_remembering(static_cast<std::uint64_t>(st.st_size))) return std::nullopt;
  const std::lock_guard lock(known_mutex);
  const auto found = known.find(FileId{st.st_dev, st.st_ino});
  if (found == known.end()) return std::nullopt;
  const KnownCrc& k = found->second;
  if (k.size != static_cast<std::uint64_t>(st.st_size) || !same_time(k.mtime, st.st_mtim) ||
      !same_time(k.ctime, st.st_ctim))
    return std::nullopt;
  ++known_taken;
  return k.crc;
}

std::uint64_t known_crcs_taken() { return known_taken; }

}  // namespace wingstow::platform
