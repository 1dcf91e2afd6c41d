#include "platform/freeformat.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace platform {

std::optional<double> parse_real(std::string_view item) {
    if (item.empty() || item.size() > 64) return std::nullopt;
    std::string text(item);
    for (char& c : text) {
        if (c == 'd' || c == 'D') c = 'E';
        else if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '+' || c == '-' || c == 'e' ||
                   c == 'E'))
            return std::nullopt;  // also refuses "inf", "nan" and hexadecimal forms
    }
    errno = 0;
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<long> parse_int(std::string_view item) {
    if (item.empty() || item.size() > 32) return std::nullopt;
    std::string text(item);
    std::size_t k = (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (k == text.size()) return std::nullopt;
    for (std::size_t j = k; j < text.size(); ++j)
        if (!std::isdigit(static_cast<unsigned char>(text[j]))) return std::nullopt;
    errno = 0;
    long value = std::strtol(text.c_str(), nullptr, 10);
    if (errno == ERANGE || value > 2147483647L || value < -2147483647L) return std::nullopt;
    return value;
}

namespace {

// The values of a line, read with `parse` one item at a time, until `wanted`
// are there. A repeat "r*v" adds only as many copies as are still wanted, so a
// short line of large repeats costs no more than the values read.
template <typename T, typename Parse>
bool parse_values(std::string_view line, std::vector<std::optional<T>>& values, std::size_t wanted, Parse parse) {
    values.clear();
    const bool counted = wanted != kEveryValue;
    const std::size_t limit = counted ? wanted : kMaxValuesPerLine;
    std::size_t i = 0;
    const std::size_t n = line.size();
    bool value_pending = false;  // a value seen since the last comma
    while (i < n && values.size() < wanted) {
        const char c = line[i];
        if (c == ' ' || c == '\t') {
            ++i;
        } else if (c == ',') {
            if (!value_pending) {
                if (!counted && values.size() == limit) return false;
                values.emplace_back(std::nullopt);
            }
            value_pending = false;
            ++i;
        } else if (c == '/') {
            break;
        } else {
            const std::size_t start = i;
            while (i < n && line[i] != ' ' && line[i] != '\t' && line[i] != ',' && line[i] != '/') ++i;
            std::string_view item = line.substr(start, i - start);
            // r*v repeats the value, r* alone repeats a null value.
            long repeat = 1;
            if (const auto star = item.find('*'); star != std::string_view::npos) {
                const auto count = parse_int(item.substr(0, star));
                if (!count || *count < 1 || *count > 100000) return false;
                repeat = *count;
                item = item.substr(star + 1);
            }
            std::optional<T> value;
            if (!item.empty()) {
                value = parse(item);
                if (!value) return false;
            }
            const std::size_t left = limit - values.size();
            if (static_cast<std::size_t>(repeat) > left) {
                if (!counted) return false;
                repeat = static_cast<long>(left);
            }
            values.insert(values.end(), static_cast<std::size_t>(repeat), value);
            value_pending = true;
        }
    }
    return true;
}

}  // namespace

bool parse_reals(std::string_view line, std::vector<std::optional<double>>& values, std::size_t wanted) {
    return parse_values(line, values, wanted, parse_real);
}

bool parse_ints(std::string_view line, std::vector<std::optional<long>>& values, std::size_t wanted) {
    return parse_values(line, values, wanted, parse_int);
}

std::optional<double> first_real(std::string_view line) {
    std::vector<std::optional<double>> values;
    if (!parse_reals(line, values, 1) || values.empty()) return std::nullopt;
    return values[0];
}

std::optional<long> first_int(std::string_view line) {
    std::vector<std::optional<long>> values;
    if (!parse_ints(line, values, 1) || values.empty()) return std::nullopt;
    return values[0];
}

std::optional<std::vector<double>> first_reals(std::string_view line, std::size_t count) {
    std::vector<std::optional<double>> values;
    if (!parse_reals(line, values, count) || values.size() < count) return std::nullopt;
    std::vector<double> given;
    for (std::size_t i = 0; i < count; ++i) {
        if (!values[i]) return std::nullopt;
        given.push_back(*values[i]);
    }
    return given;
}

std::string format_real(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.7g", value);
    std::string text(buffer);
    // Like list-directed output, a real always shows its decimal point.
    if (text.find_first_of(".eEn") == std::string::npos) text += ".0";
    return text;
}


std::string exponent_form(double value, int w, int d) {
    d = std::clamp(d, 1, 30);
    std::string text;
    if (std::isnan(value)) {
        text = "NaN";
    } else if (std::isinf(value)) {
        text = value < 0.0 ? "-Infinity" : "Infinity";
    } else {
        // printf's d.ddd form has the same d significant digits, rounded
        // alike (9.99996 carries to 1.0000e+01); moving the point one place
        // left raises the exponent by one. Zero keeps the exponent 0.
        std::string digits(static_cast<std::size_t>(d), '0');
        int exponent = 0;
        if (value != 0.0) {
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%.*e", d - 1, std::fabs(value));
            const std::string s(buffer);
            digits = s.substr(0, 1) + (d > 1 ? s.substr(2, static_cast<std::size_t>(d - 1)) : std::string());
            exponent = std::atoi(s.c_str() + s.find('e') + 1) + 1;
        }
        const int magnitude = std::abs(exponent);
        text = std::string(value < 0.0 ? "-" : "") + "0." + digits + "E" + (exponent < 0 ? "-" : "+") +
               (magnitude < 10 ? "0" : "") + std::to_string(magnitude);
    }
    if (static_cast<int>(text.size()) < w) text.insert(0, static_cast<std::size_t>(w) - text.size(), ' ');
    return text;
}

}  // namespace platform
