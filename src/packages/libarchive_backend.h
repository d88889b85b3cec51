#pragma once

// What the 7z and RAR back end (libarchive) gives besides extraction, which
// ZipMaster::Extract hands it for those formats.

#include <optional>
#include <string>
#include <vector>

#include "packages/zip_archive.h"

namespace wingstow {

// The files of a 7z or RAR archive as extraction would make them, read in
// one pass without writing anything; nothing when it cannot be read.
std::optional<std::vector<ArchiveFile>> other_archive_files(const std::string& path);

// Whether the archive is a volume of a multi-volume RAR set, by its name
// ("pack.part1.rar", "pack.part02.rar") or, for the older "pack.rar",
// "pack.r00" sets, by the volume flag of its main header: such sets are
// refused whole, with rar_volume_text().
bool rar_volume(const std::string& archive);
std::string rar_volume_text(const std::string& archive);

// Whether libarchive reads the archive's first entry: a ZIP that libzip
// refuses is then extracted through it.
bool other_reader_takes(const std::string& path);

// The message for an archive whose entries or headers are encrypted, which
// libarchive cannot decrypt for these formats.
std::string encrypted_archive_text(const std::string& archive);

}  // namespace wingstow
