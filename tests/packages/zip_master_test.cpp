#include "packages/zip_master.h"

#include <gtest/gtest.h>
#include <sched.h>

#include "support/recording_ui.h"

namespace wingstow {
namespace {

TEST(ZipMasterLoad, LinkedLibraryLoadsBothSides) {
  test::RecordingUi ui;
  ZipMaster zip(ui);
  zip.load_zip_dll();
  zip.load_unz_dll();
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_GE(zip.zip_dll_version(), ZipMaster::minimum_version);
  EXPECT_EQ(zip.unz_dll_version(), ZipMaster::parse_version(ZipMaster::library_version()));
  zip.unload_zip_dll();
  zip.unload_unz_dll();
  EXPECT_EQ(zip.zip_dll_version(), 0);
  EXPECT_EQ(zip.unz_dll_version(), 0);
}

TEST(ZipMasterLoad, VersionNumbers) {
  EXPECT_EQ(ZipMaster::parse_version("1.7.3"), 10703);
  EXPECT_EQ(ZipMaster::parse_version("1.10"), 11000);
  EXPECT_GT(ZipMaster::parse_version("1.10.1"), ZipMaster::parse_version("1.9.2"));
  EXPECT_EQ(ZipMaster::parse_version(""), 0);
  EXPECT_EQ(ZipMaster::parse_version("abc"), 0);
}

TEST(ZipMasterLoad, OldLibraryIsReportedAndTheProgramCarriesOn) {
  test::RecordingUi ui;
  ZipMaster zip(ui);
  EXPECT_EQ(zip.load("libzip", "1.5.1"), 0);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Unable to load libzip 1.5.1 - It is old or corrupt");
  EXPECT_EQ(zip.load("libzip", "garbage"), 0);
  EXPECT_EQ(ui.messages.back().text, "Failed to load libzip");

  zip.Unattended = true;
  EXPECT_EQ(zip.load("libzip", "1.0"), 0);
  EXPECT_EQ(ui.messages.size(), 2u);
}

}  // namespace
}  // namespace wingstow

namespace wingstow {
namespace {

// One core this process may use gets one extraction worker; two or more, two.
TEST(ZipMasterWorkers, FollowTheCoresTheProcessMayUse) {
  cpu_set_t before;
  ASSERT_EQ(::sched_getaffinity(0, sizeof before, &before), 0);
  cpu_set_t one;
  CPU_ZERO(&one);
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
    if (CPU_ISSET(cpu, &before)) {
      CPU_SET(cpu, &one);
      break;
    }
  ASSERT_EQ(::sched_setaffinity(0, sizeof one, &one), 0);
  EXPECT_EQ(ZipMaster::default_workers(), 1u);
  ASSERT_EQ(::sched_setaffinity(0, sizeof before, &before), 0);
  EXPECT_EQ(ZipMaster::default_workers(), CPU_COUNT(&before) >= 2 ? 2u : 1u);
}

}  // namespace
}  // namespace wingstow
