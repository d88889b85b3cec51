#pragma once

// What may lie where a file is read by a fixed name, and a watchdog for
// calls that must return whatever they meet.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace wingstow::test {

enum class Entry { folder, pipe, socket, link_to_dev_zero, link_to_file, dangling_link };

// A short name for messages: "a named pipe", ...
const char* entry_name(Entry entry);

// Puts such an entry at path (whatever was there goes); a link to a file
// points at target.
void make_entry(const std::string& path, Entry entry, const std::string& target = {});

// The call's result, run on a thread of its own; nothing, and a failed
// test, when it has not returned after 20 seconds (it blocked: the thread
// is left behind). The call must own what it uses.
template <class T>
std::optional<T> returned(std::function<T()> call) {
  auto task = std::make_shared<std::packaged_task<T()>>(std::move(call));
  auto result = task->get_future();
  std::thread([task] { (*task)(); }).detach();
  if (result.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
    ADD_FAILURE() << "the call did not return: it blocked";
    return std::nullopt;
  }
  return result.get();
}

}  // namespace wingstow::test
