#pragma once

// What the arguments of wingstow-cli's commands name: archives of the
// download folder, package folders of the unzip folder, installed packages.
// Package folders and records are resolved by the engine, as the check
// resolves them; this adds what only the command line takes (archives by
// name without ".zip") and refuses names that lead nowhere.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "settings/shared.h"

namespace wingstow::cli {

// Throws UsageError for "", "." and "..", which lead out of the folder a
// name is looked up in.
void check_name(const std::string& argument);

// Whether the argument is a path (it holds a separator) rather than a name.
bool by_path(std::string_view argument);

// Adds path unless the same path is there already.
void add_unique(std::vector<std::string>& paths, std::string path);

// An archive by path, or by name in the download folder (".zip" may be left
// out); nothing when there is no such file. Throws Error for a file whose
// name is no archive's, or which name_refusal() refuses.
std::optional<std::string> archive_of(const Shared& shared, const std::string& argument);

// The same, throwing Error when there is no such archive.
std::string find_archive(const Shared& shared, const std::string& argument);

// The archives of the download folder, in listing order.
std::vector<std::string> archives_in_download_folder(const Shared& shared);

// A package folder of the unzip folder: find_package_folder().
std::optional<std::string> package_folder_of(const Shared& shared, const std::string& argument);

// The record of an installed package: find_record() over the records of
// the unzip folder.
std::string record_of(Context& context, const std::string& argument);

}  // namespace wingstow::cli
