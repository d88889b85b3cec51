#include "platform/single_instance.h"

#include "support/temp_tree.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/wait.h>
#include <unistd.h>

namespace wingstow::platform {
namespace {

using test::TempTree;

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

}  // namespace
}  // namespace wingstow::platform
