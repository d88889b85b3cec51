// The sample the sample tool makes is what real packages and a real
// simulator look like: it passes the check clean before and after install.

#include <gtest/gtest.h>
#include <zip.h>

#include <cstdlib>
#include <string>

#include "check/airplane_check.h"
#include "install/install_aircraft.h"
#include "install/side_files.h"
#include "platform/files.h"
#include "settings/shared.h"
#include "support/recording_ui.h"
#include "support/temp_tree.h"

namespace wingstow {
namespace {

using test::TempTree;

// Our own archives: every name is a plain relative one.
void extract(const std::string& archive, const TempTree& tree, const std::string& folder) {
  int error = 0;
  zip_t* zip = zip_open(archive.c_str(), ZIP_RDONLY, &error);
  ASSERT_NE(zip, nullptr) << archive;
  for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0); ++i) {
    zip_stat_t st;
    ASSERT_EQ(zip_stat_index(zip, static_cast<zip_uint64_t>(i), 0, &st), 0);
    const std::string name = st.name;
    if (name.ends_with('/')) continue;
    std::string content(st.size, '\0');
    zip_file_t* file = zip_fopen_index(zip, static_cast<zip_uint64_t>(i), 0);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(zip_fread(file, content.data(), st.size), static_cast<zip_int64_t>(st.size));
    zip_fclose(file);
    tree.make_file(folder + name, content);
  }
  zip_discard(zip);
}

TEST(SampleCheck, PackagesAndSimulatorPassClean) {
  TempTree tree;
  const std::string command =
      std::string("'") + WINGSTOW_SAMPLE_TOOL + "' '" + tree.path("sample") + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string fs = tree.path("sample/FS9/");
  const std::string unzip = tree.make_folder("unzip");
  const std::string downloads = tree.path("sample/downloads/");

  std::vector<std::string> packages;
  for (const auto& entry : platform::find_entries(downloads, "*.zip", 0)) {
    const std::string name = entry.name.substr(0, entry.name.size() - 4);
    extract(downloads + entry.name, tree, "unzip/" + name + "/");
    packages.push_back(name);
  }
  ASSERT_EQ(packages.size(), 5u);

  std::size_t airplanes = 0;
  for (const auto& name : packages) {
    SCOPED_TRACE(name);
    const CheckReport report = check_package_folder(unzip + name, fs);
    EXPECT_TRUE(report.findings.empty()) << report_text(report);
    airplanes += report.airplanes.size();
    // The airplane in the inner archive is told of, not checked.
    EXPECT_EQ(report.notes.size(), name == "piper_cub" || report.airplanes.empty() ? 1u : 0u)
        << report_text(report);
  }
  EXPECT_EQ(airplanes, 3u);

  std::size_t stock = 0;
  for (const auto& entry :
       platform::find_entries(fs + "Aircraft/", "*", platform::attr_directory)) {
    if (entry.name == "." || entry.name == "..") continue;
    const CheckReport report = check_airplane(fs + "Aircraft/" + entry.name, fs);
    EXPECT_TRUE(report.findings.empty()) << report_text(report);
    ++stock;
  }
  EXPECT_EQ(stock, 2u);

  Shared shared(tree.make_folder("prog"));
  shared.fs_path = fs;
  shared.unzip_path = unzip;
  test::RecordingUi ui;
  ui.prompt = true;
  ui.tag = "fs2004";
  for (const std::string name : {"cessna172", "beech.twin.pack"}) {
    SCOPED_TRACE(name);
    PackageInstall install;
    for (auto step : {install_aircraft, install_gauges, install_cab_gauges, install_sounds})
      step(shared, ui, install, unzip + name);
    const CheckReport report = check_record(unzip + name + ".txt", fs);
    EXPECT_TRUE(report.findings.empty()) << report_text(report);
    EXPECT_FALSE(report.airplanes.empty());
  }
  EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
}  // namespace wingstow
