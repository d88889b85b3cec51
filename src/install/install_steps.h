#pragma once

// The steps of one package's install, in order: the airplanes first (they
// make the record), then each kind of side file.

#include <string>

#include "base/feedback.h"
#include "install/install_aircraft.h"
#include "install/side_files.h"
#include "settings/shared.h"

namespace wingstow {

using InstallStep = void (*)(Shared&, Feedback&, PackageInstall&, const std::string&);
inline constexpr InstallStep install_steps[] = {
    install_aircraft, install_gauges,  install_cab_gauges, install_sounds,
    install_modules,  install_flights, install_weather,    install_effects};

}  // namespace wingstow
