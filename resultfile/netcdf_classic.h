// The header of a classic-format NetCDF file checked against the file's size
// before the library reads it (it allocates whatever a header claims).
#pragma once

#include <optional>
#include <string>

namespace resultfile {

// What is wrong with the header of the file, when it is a classic-format file
// ("CDF" 1, 2 or 5) whose header claims more than the file holds; nothing for
// a sound header and for a file of another kind.
std::optional<std::string> classic_header_fault(const std::string& path);

}  // namespace resultfile
