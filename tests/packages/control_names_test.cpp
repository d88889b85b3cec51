// Archive names with control characters never reach the download folder, a
// package folder or a record: refused at the hand-over and at Unzip, each
// named with its control bytes written out.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "packages/import_archives.h"
#include "packages/packages_fixture.h"
#include "packages/unzip.h"
#include "support/zip_builder.h"

namespace wingstow {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> names_in(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  return names;
}

class ControlNamesTest : public test::PackagesFixture {};

TEST_F(ControlNamesTest, RefusedAtHandOverAndUnzip) {
  const std::string why =
      "its name holds a control character (such as a line break); rename it first";
  struct Case {
    std::string name;
    std::string shown;  // as messages name it; empty: the name is taken
  };
  const Case cases[] = {
      {"Line\nBreak.zip", "Line\\nBreak.zip"},    {"Carriage\rReturn.zip", "Carriage\\rReturn.zip"},
      {"Tab\tBed.zip", "Tab\\tBed.zip"},          {"Esc\x1b[2J.zip", "Esc\\x1b[2J.zip"},
      {"Bell\x07\x7f.zip", "Bell\\x07\\x7f.zip"}, {"Caf\xc3\xa9 back\\slash.zip", ""},
  };
  const std::string outside = tree.make_folder("outside");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown.empty() ? c.name : c.shown);
    fs::remove_all(download);
    fs::remove_all(unzip);
    fs::create_directories(download);
    fs::create_directories(unzip);
    ui.messages.clear();

    const std::string handed = outside + c.name;
    test::write_zip(handed, {{"Plane/aircraft.cfg", "x"}});
    const ImportOutcome imported = import_archives(download, {handed});

    const std::string in_download = download + c.name;
    test::write_zip(in_download, {{"Plane/aircraft.cfg", "x"}});
    std::vector<UnzipResult> results;
    unzip_archives(shared, ui, zip, {in_download},
                   [&](std::size_t, UnzipResult result) { results.push_back(result); });

    if (c.shown.empty()) {
      EXPECT_EQ(imported.copied, 1u);
      EXPECT_EQ(results, std::vector<UnzipResult>{UnzipResult::unzipped});
      EXPECT_EQ(names_in(unzip), std::vector<std::string>{package_name_for_archive(c.name)});
      continue;
    }
    EXPECT_EQ(imported.failures, std::vector<std::string>{outside + c.shown + ": " + why});
    EXPECT_TRUE(imported.arrived.empty());
    EXPECT_EQ(names_in(download), std::vector<std::string>{c.name});  // only the one put there
    EXPECT_EQ(results, std::vector<UnzipResult>{UnzipResult::failed});
    EXPECT_TRUE(names_in(unzip).empty());
    EXPECT_EQ(ui.message_texts(),
              std::vector<std::string>{"'" + download + c.shown + "' was not unzipped: " + why});
  }
}

}  // namespace
}  // namespace wingstow
