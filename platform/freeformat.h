// Free-format (list-directed) reading of numbers from a line: values are
// separated by blanks and/or commas, two commas in a row leave a value null
// (the caller keeps its default), "/" ends the list, and "r*v" repeats v r
// times. Reals may carry an exponent with E or D.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Without a count of wanted values, the whole line is read, at most this many
// values after repeats are expanded; a longer list counts as unreadable.
inline constexpr std::size_t kEveryValue = static_cast<std::size_t>(-1);
inline constexpr std::size_t kMaxValuesPerLine = 4096;

// One item per value of the line; nullopt marks a null value. Like a
// list-directed read, the list is complete once `wanted` values are read: the
// rest of the line is neither expanded nor checked. Returns false when an item
// read is not a number of the asked kind.
bool parse_reals(std::string_view line, std::vector<std::optional<double>>& values,
                 std::size_t wanted = kEveryValue);
bool parse_ints(std::string_view line, std::vector<std::optional<long>>& values, std::size_t wanted = kEveryValue);

std::optional<double> parse_real(std::string_view item);
std::optional<long> parse_int(std::string_view item);

// Fortran-style free-format output of a real: compact, no trailing zeros.
std::string format_real(double value);

}  // namespace platform
