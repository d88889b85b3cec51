#pragma once

// The installation record: one text file per installed package, named after
// the package, lying in the unzip folder, one installed path per line ended
// by CR LF. Its existence marks the package as installed.

#include <functional>
#include <string>
#include <string_view>

#include "settings/shared.h"

namespace wingstow {

// unzip_path + record_name.
std::string record_path(const Shared& shared);

bool record_exists(const Shared& shared);

// Creates the record, or empties an existing one. Throws Error when it
// cannot.
void create_record(const std::string& path);

// Throws Error unless the record can be opened for reading.
void open_record_for_reading(const std::string& path);

// Hands the record's lines to visit in file order, each without its line
// end (CR LF, LF or CR alone), until visit returns false. Throws Error when the
// record cannot be opened or read.
void read_record_lines(const std::string& path,
                       const std::function<bool(const std::string&)>& visit);

// Appends one line and its CR LF at the end of the record. Throws Error when
// the record cannot be written, and for a line holding a line break, which
// would make the record list a path that was never installed.
void append_record_line(const std::string& path, std::string_view line);

}  // namespace wingstow
