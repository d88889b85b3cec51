#pragma once

#include <cstdint>
#include <string_view>

namespace wingstow {

// Bytes under a folder (with or without trailing separator): every entry
// directly in it, hidden ones included, and with recurse the folders below,
// except those whose names begin with "." and linked ones. Counted in 64
// bits, so trees over 2 GiB are measured right. A folder that cannot be read
// counts 0, and so does an empty path.
std::int64_t folder_size(std::string_view path, bool recurse);

}  // namespace wingstow
