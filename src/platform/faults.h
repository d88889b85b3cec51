#pragma once

// A seam for tests: the writing services of the platform ask it before each
// system call that creates, writes, renames or syncs, so that a test can make
// the Nth such call fail with a chosen errno (a full disk, a read-only file
// system) without root or mounts. Unarmed it costs one atomic load.

namespace wingstow::platform {

enum class FaultPoint { create, write, rename, fsync };

// From now on, the nth call (1 for the next one) of point fails with error,
// once. Arming a point again replaces its earlier arming.
void inject_fault(FaultPoint point, int nth, int error);

// The nth call of point and every later one fail with error (a disk that
// stays full).
void inject_persistent_fault(FaultPoint point, int nth, int error);

void clear_faults();

// True, with errno set, when this call of point must fail.
bool fault_due(FaultPoint point);

// Whether a fault is armed: work that would spread over threads stays on
// one, so that the nth call is the nth of the run.
bool faults_armed();

// Clears every armed fault when it goes out of scope.
struct FaultScope {
  FaultScope() = default;
  FaultScope(const FaultScope&) = delete;
  FaultScope& operator=(const FaultScope&) = delete;
  ~FaultScope() { clear_faults(); }
};

}  // namespace wingstow::platform
