#pragma once

#include <memory>
#include <string>
#include <string_view>

class QLockFile;

namespace wingstow::platform {

// The one-instance guard: a lock file named after the lock in the user's
// runtime folder. The lock dies with its process, so a crash never blocks the
// next start.
class SingleInstance {
 public:
  // folder empty: the user's runtime folder.
  explicit SingleInstance(std::string_view name, std::string folder = {});
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // True when this process now holds the lock; false when another one does,
  // or when the lock cannot be taken at all (failure() says why). A lock
  // file that no running process holds is taken over, whatever it holds
  // (nothing, garbage, a dead process's number). Anything but a regular file
  // at its place (a folder, a link, a named pipe) is neither opened nor
  // removed: it is a failure.
  bool acquire();

  // Why the last acquire() could not take the lock when no other process
  // holds it, naming the lock's path; empty otherwise.
  const std::string& failure() const { return failure_; }

  // The lock file's path; its folder holds the instance's other runtime
  // files (the socket a later start talks to).
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string failure_;
  std::unique_ptr<QLockFile> lock_;
};

}  // namespace wingstow::platform
