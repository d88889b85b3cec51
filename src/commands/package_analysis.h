#pragma once

// Tells a package folder apart as already installed, self-installing or
// without airplane: on a click (status text), and in a marking pass over the
// whole unzip folder (captions of the list entries).

#include <string>
#include <string_view>

#include "base/ui.h"
#include "install/livery.h"
#include "install/side_files.h"
#include "settings/shared.h"

namespace wingstow {

inline constexpr std::string_view caption_already_installed = "##### already installed #####";
inline constexpr std::string_view caption_self_installable = "##### self installable #####";
inline constexpr std::string_view caption_no_aircraft = "##### No aircraft.cfg found #####";

// "##### livery for Jodel DR-1050 #####": a package of liveries, marked
// with the airplanes they fit.
std::string livery_caption(const std::string& fs_path, const LiveryPackage& package);

// "##### 3 gauges, 12 effects #####": a package without airplane, marked
// with what it brings.
std::string parts_caption(const SideFileCount& count);

// The record name of a catalogue entry: its file name without ".txt".
std::string record_name_of(const std::string& catalogue_entry);

// True when a record of the catalogue is named after package_name (letter
// case counts). Reads the catalogue as last refreshed, not the disk.
bool listed_in_catalogue(Ui& ui, const std::string& package_name);

void check_already_installed(Shared& shared, Ui& ui);
void check_executable(Shared& shared, Ui& ui);

// "View airplane already installed".
void SpeedButton12Click(Shared& shared, Ui& ui);
void mark_installed(Shared& shared, Ui& ui);
void mark_self_installable(Shared& shared, Ui& ui);
// A package whose airplane lies in an inner archive is not marked: Install
// extracts that archive first. A package of liveries gets the livery mark,
// one of side files only the mark of what it brings.
void mark_no_aircraft(Shared& shared, Ui& ui);
// The status line after a marking pass: how many package folders got which
// mark, and how many are left to install.
std::string mark_summary(Ui& ui);

}  // namespace wingstow
