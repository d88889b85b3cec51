#pragma once

// The rules of the airplane check: what an airplane's aircraft.cfg,
// panel.cfg and sound.cfg name, looked up where the simulator looks for it,
// letter case ignored, never outside the simulator or the airplane.

#include <memory>
#include <string>

#include "check/check_report.h"
#include "check/package_content.h"

namespace wingstow {

// Applied airplane by airplane; the titles of the simulator's airplanes are
// read once, at the first airplane that needs them.
class AirplaneRules {
 public:
  // fs_path: the simulator root, with its trailing separator; empty when
  // none is chosen yet. package: what an unzipped package brings, for its
  // airplanes before install (its gauges count as found, and so do alias
  // targets among its airplanes); nullptr otherwise.
  AirplaneRules(const std::string& fs_path, const PackageContent* package);
  ~AirplaneRules();
  AirplaneRules(const AirplaneRules&) = delete;
  AirplaneRules& operator=(const AirplaneRules&) = delete;

  // Adds the airplane folder and its findings to report.
  void check(const std::string& airplane, CheckReport& report);

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace wingstow
