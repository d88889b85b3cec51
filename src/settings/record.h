#pragma once

// The installation record: one text file per installed package, named after
// the package, lying in the unzip folder, one installed path per line ended
// by CR LF. Its existence marks the package as installed. A record is never
// changed in place: each write gives it its whole new content through a
// temporary file and a rename, so it is always complete.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"
#include "settings/shared.h"

namespace wingstow {

// More lines than any real package brings (a fleet lists a few thousand);
// a bigger record is refused with one message rather than read.
inline constexpr std::size_t max_record_lines = 200000;
// Longer than any path a file system takes.
inline constexpr std::size_t max_record_line = 65536;

// The mark of an install under way, beside its record: record + ".installing".
// It is made before the record's first write and taken away when every step
// of the package has run and copied everything, so an install that was
// killed, or that could not copy everything, is resumed by the next Install
// instead of being refused as already installed.
std::string install_marker(const std::string& record);
bool install_unfinished(const std::string& record);
// Throws Error when the mark cannot be made.
void mark_install_started(const std::string& record);
void mark_install_finished(const std::string& record);

// A text file of the unzip folder that no install wrote: a line longer than
// any path, more lines than any package brings, or a NUL byte. It is left
// out of the records, so that a user's notes or a flight log lying there
// blocks nothing.
class NotARecord : public Error {
 public:
  using Error::Error;
};

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
// record cannot be opened or read, or is a link or no regular file, and
// NotARecord when its text cannot be a record's.
void read_record_lines(const std::string& path,
                       const std::function<bool(const std::string&)>& visit);

// For the tests: how many records read_record_lines has opened so far.
std::uint64_t record_reads();

// All lines of the record.
std::vector<std::string> record_lines(const std::string& path);

// Gives the record exactly these lines, each ended by CR LF, in one atomic
// write synced to disk. Throws Error naming the record when it cannot, and
// for a line holding a line break or a NUL, which would make the record list
// a path that was never installed.
void write_record(const std::string& path, const std::vector<std::string>& lines);

// Appends one line and its CR LF at the end of a log (error logs grow line
// by line as failures happen). Opened without following a link. Throws Error
// when the log cannot be written, and for a line holding a line break.
void append_record_line(const std::string& path, std::string_view line);

// The input/output error of a record or log: "Input/output error N (reason)
// on path".
[[noreturn]] void record_io_error(const std::string& path, int error);
// The same with a reason of its own ("a named pipe, not a regular file").
[[noreturn]] void record_io_error(const std::string& path, int error, const std::string& reason);

}  // namespace wingstow
