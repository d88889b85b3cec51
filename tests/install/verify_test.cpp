// Which package brought a path, and whether what a package listed is still
// there as installed.

#include "install/verify.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "install/install_fixture.h"
#include "install/record.h"

namespace wingstow {
namespace {

class VerifyTest : public test::InstallFixture {
 protected:
  void SetUp() override {
    add("Jet/Jet/aircraft.cfg", "jet");
    add("Jet/Jet/panel/panel.cfg", "panel");
    add("Jet/gauges/shared.gau", "shared");
    add("Jet/gauges/jet.gau", "jet gauge");
    install_package(package("Jet"));
    finish("Jet");
    add("Prop/Prop/aircraft.cfg", "prop");
    add("Prop/gauges/shared.gau", "shared");
    install_package(package("Prop"));
    finish("Prop");
    tree.make_file("FS9/gauges/stock.gau", "stock");
  }
};

TEST_F(VerifyTest, OwnersOfSharedOwnAndForeignPaths) {
  const auto answers =
      owners_of(shared, {fs + "gauges/shared.gau", "AIRCRAFT\\Jet\\panel\\panel.cfg",
                         "gauges/stock.gau", "/elsewhere/aircraft/Jet"});
  ASSERT_EQ(answers.size(), 4u);
  EXPECT_EQ(answers[0].records, (std::vector<std::string>{unzip + "Jet.txt", unzip + "Prop.txt"}));
  EXPECT_EQ(answers[1].path, fs + "AIRCRAFT/Jet/panel/panel.cfg");
  EXPECT_EQ(answers[1].records, std::vector<std::string>{unzip + "Jet.txt"});
  EXPECT_EQ(answers[1].listed_as, fs + "AIRCRAFT/Jet");
  EXPECT_TRUE(answers[2].records.empty());
  EXPECT_TRUE(answers[3].records.empty());  // outside the simulator
}

TEST_F(VerifyTest, FindsMissingAndChangedFiles) {
  const std::string record = unzip + "Jet.txt";
  EXPECT_FALSE(verify_record(record).has_sums);  // an install from before sums were kept
  ASSERT_EQ(write_install_sums(record), 0);
  const auto clean = verify_record(record);
  EXPECT_TRUE(clean.has_sums);
  EXPECT_EQ(clean.lines, 3u);
  EXPECT_TRUE(clean.problems.empty());

  std::filesystem::remove(fs + "aircraft/Jet/panel/panel.cfg");
  test::write_file(fs + "gauges/jet.gau", "jet GAUGE");  // same size
  test::write_file(fs + "aircraft/Jet/aircraft.cfg", "jet, edited");
  const auto found = verify_record(record);
  std::vector<std::string> problems;
  for (const auto& problem : found.problems) problems.push_back(problem.path + ": " + problem.what);
  EXPECT_EQ(problems, (std::vector<std::string>{
                          fs + "aircraft/Jet/aircraft.cfg: size changed (3 -> 11 bytes)",
                          fs + "aircraft/Jet/panel/panel.cfg: missing",
                          fs + "gauges/jet.gau: content changed"}));

  std::filesystem::remove_all(fs + "aircraft/Jet");
  const auto gone = verify_record(record);
  ASSERT_EQ(gone.problems.size(), 2u);  // the folder once, not each of its files
  EXPECT_EQ(gone.problems[0].path, fs + "aircraft/Jet");
}

}  // namespace
}  // namespace wingstow
