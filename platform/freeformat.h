// Free-format (list-directed) reading of numbers from a line: values are
// separated by blanks and/or commas, two commas in a row leave a value null
// (the caller keeps its default), "/" ends the list, and "r*v" repeats v r
// times. Reals may carry an exponent with E or D.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// One item per value of the line; nullopt marks a null value. Returns false
// when an item is not a number of the asked kind.
bool parse_reals(std::string_view line, std::vector<std::optional<double>>& values);
bool parse_ints(std::string_view line, std::vector<std::optional<long>>& values);

std::optional<double> parse_real(std::string_view item);
std::optional<long> parse_int(std::string_view item);

// Fortran-style free-format output of a real: compact, no trailing zeros.
std::string format_real(double value);

}  // namespace platform
