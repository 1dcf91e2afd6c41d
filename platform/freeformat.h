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

// The first value of a line, when the line reads and that value is given;
// nullopt for an unreadable or empty line and a null first value.
std::optional<double> first_real(std::string_view line);
std::optional<long> first_int(std::string_view line);
// The first `count` values of a line, all given; nullopt otherwise.
std::optional<std::vector<double>> first_reals(std::string_view line, std::size_t count);

// Fortran-style free-format output of a real: compact, no trailing zeros.
std::string format_real(double value);

// A real in exponent form, as a Fortran Ew.d edit gives it: "0." with d
// digits, "E", the sign and two exponent digits, right-justified in w
// columns. A field too narrow for the number grows instead of being filled
// with asterisks; an exponent of three digits keeps its "E". Not-a-number
// and the infinities are "NaN", "Infinity" and "-Infinity".
std::string exponent_form(double value, int w, int d);

}  // namespace platform
