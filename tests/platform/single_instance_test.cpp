#include "platform/single_instance.h"

#include "support/temp_tree.h"

#include <gtest/gtest.h>
#include <QString>
#include <QSysInfo>

#include <filesystem>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace wingstow::platform {
namespace {

using test::read_file;
using test::TempTree;
using test::write_file;

const std::string host = QSysInfo::machineHostName().toStdString();

// The number of a process that has ended.
pid_t dead_pid() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

std::string first_line(const std::string& path) {
  const auto text = read_file(path);
  return text.substr(0, text.find('\n'));
}

// A child process that holds the lock until it is let go (or this process
// ends).
struct Holder {
  pid_t pid = -1;
  int go = -1;

  explicit Holder(const std::string& folder) {
    int ready[2], release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) return;
    pid = ::fork();
    if (pid == 0) {
      ::close(ready[0]);
      ::close(release[1]);
      SingleInstance held("MonMutexhangarkit", folder);
      const char ok = held.acquire() ? 'y' : 'n';
      if (::write(ready[1], &ok, 1) != 1) ::_exit(1);
      char c;
      while (::read(release[0], &c, 1) > 0) {
      }
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    go = release[1];
    char ok = 'n';
    if (::read(ready[0], &ok, 1) != 1 || ok != 'y') pid = -1;
    ::close(ready[0]);
  }
  void let_go() {
    if (go >= 0) ::close(go);
    go = -1;
    if (pid > 0) ::waitpid(pid, nullptr, 0);
  }
  ~Holder() { let_go(); }
};

TEST(SingleInstance, OnlyOneHolderAtATime) {
  TempTree tree;
  const auto folder = tree.path("run/user");  // made when missing
  {
    SingleInstance first("MonMutexhangarkit", folder);
    ASSERT_TRUE(first.acquire());
    EXPECT_TRUE(first.acquire());  // asking again changes nothing
    SingleInstance second("MonMutexhangarkit", folder);
    EXPECT_FALSE(second.acquire());
    SingleInstance other("SomethingElse", folder);
    EXPECT_TRUE(other.acquire());
  }
  SingleInstance next("MonMutexhangarkit", folder);
  EXPECT_TRUE(next.acquire());
}

TEST(SingleInstance, ALockLeftByACrashDoesNotBlock) {
  TempTree tree;
  const auto folder = tree.path("run");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    SingleInstance crashed("MonMutexhangarkit", folder);
    ::_exit(crashed.acquire() ? 0 : 1);  // no destructor, no unlock
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_TRUE(std::filesystem::exists(folder + "/MonMutexhangarkit.lock"));

  SingleInstance next("MonMutexhangarkit", folder);
  EXPECT_TRUE(next.acquire());
}

TEST(SingleInstance, ALockFileNoProcessHoldsIsTakenOver) {
  struct Case {
    const char* name;
    std::string content;
  };
  const std::string me = std::to_string(::getpid());
  const Case cases[] = {
      {"empty", ""},
      {"garbage", "\x01\x02 not a lock\r\n\xff"},
      {"pid 0", "0\nwingstow\n" + host + "\n"},
      {"ended process", std::to_string(dead_pid()) + "\nwingstow\n" + host + "\n"},
      // Left by an earlier process that had this number (a restart reused it).
      {"this process", me + "\nplatform_tests\n" + host + "\n"},
      {"another host", "1\nwingstow\nan-old-host-name\n"},
      {"unreadable", "\x01\x02"},
      {"longer than any lock file", std::string(8192, 'x')},
  };
  for (const auto& c : cases) {
    TempTree tree;
    const auto folder = tree.make_folder("run");
    const auto lock = folder + "MonMutexhangarkit.lock";
    write_file(lock, c.content);
    if (std::string(c.name) == "unreadable") {
      ASSERT_EQ(::chmod(lock.c_str(), 0), 0);
    }
    {
      SingleInstance next("MonMutexhangarkit", folder);
      EXPECT_TRUE(next.acquire()) << c.name;
      EXPECT_EQ(first_line(lock), me) << c.name;
      SingleInstance second("MonMutexhangarkit", folder);
      EXPECT_FALSE(second.acquire()) << c.name;
    }
    EXPECT_FALSE(std::filesystem::exists(lock)) << c.name;
  }
}

TEST(SingleInstance, ALockARunningProcessHoldsIsKeptWhateverItsFileSays) {
  TempTree tree;
  const auto folder = tree.make_folder("run");
  const auto lock = folder + "MonMutexhangarkit.lock";
  Holder holder(folder);
  ASSERT_GT(holder.pid, 0);
  ASSERT_EQ(first_line(lock), std::to_string(holder.pid));

  SingleInstance mine("MonMutexhangarkit", folder);
  for (const std::string& content : {read_file(lock), std::string(), std::string("garbage"),
                                     std::to_string(dead_pid()) + "\nwingstow\n" + host + "\n"}) {
    write_file(lock, content);
    EXPECT_FALSE(mine.acquire()) << content;
    EXPECT_EQ(read_file(lock), content);
  }

  holder.let_go();  // it ends without unlocking, as a crash would
  EXPECT_TRUE(mine.acquire());
}

}  // namespace
}  // namespace wingstow::platform
