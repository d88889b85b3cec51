#include "platform/faults.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <mutex>

namespace wingstow::platform {
namespace {

struct Armed {
  int remaining = 0;  // calls still to pass before the failing one; -1 unarmed
  int error = 0;
  bool persistent = false;
};

std::atomic<bool> any_armed{false};
std::mutex armed_mutex;
std::array<Armed, 4> armed{{{-1, 0, false}, {-1, 0, false}, {-1, 0, false}, {-1, 0, false}}};

void arm(FaultPoint point, int nth, int error, bool persistent) {
  const std::lock_guard lock(armed_mutex);
  armed[static_cast<std::size_t>(point)] = {nth > 0 ? nth - 1 : 0, error, persistent};
  any_armed = true;
}

}  // namespace

void inject_fault(FaultPoint point, int nth, int error) { arm(point, nth, error, false); }

void inject_persistent_fault(FaultPoint point, int nth, int error) { arm(point, nth, error, true); }

void clear_faults() {
  const std::lock_guard lock(armed_mutex);
  for (auto& a : armed) a = {-1, 0, false};
  any_armed = false;
}

bool faults_armed() { return any_armed.load(std::memory_order_relaxed); }

bool fault_due(FaultPoint point) {
  if (!any_armed.load(std::memory_order_relaxed)) return false;
  const std::lock_guard lock(armed_mutex);
  Armed& a = armed[static_cast<std::size_t>(point)];
  if (a.remaining < 0) return false;
  if (a.remaining > 0) {
    --a.remaining;
    return false;
  }
  errno = a.error;
  if (!a.persistent) a.remaining = -1;
  return true;
}

}  // namespace wingstow::platform
