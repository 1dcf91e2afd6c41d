#include "platform/freeformat.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {

// Splits a line into items; an item is nullopt where a comma follows a comma.
bool split_items(std::string_view line, std::vector<std::optional<std::string>>& items) {
    items.clear();
    std::size_t i = 0;
    const std::size_t n = line.size();
    bool value_pending = false;  // a value seen since the last comma
    while (i < n) {
        char c = line[i];
        if (c == ' ' || c == '\t') {
            ++i;
        } else if (c == ',') {
            if (!value_pending) items.emplace_back(std::nullopt);
            value_pending = false;
            ++i;
        } else if (c == '/') {
            break;
        } else {
            std::size_t start = i;
            while (i < n && line[i] != ' ' && line[i] != '\t' && line[i] != ',' && line[i] != '/') ++i;
            std::string item(line.substr(start, i - start));
            // r*v repeats the value, r* alone repeats a null value.
            auto star = item.find('*');
            if (star != std::string::npos) {
                auto count = parse_int(item.substr(0, star));
                if (!count || *count < 1 || *count > 100000) return false;
                std::string rest = item.substr(star + 1);
                for (long r = 0; r < *count; ++r) {
                    if (rest.empty()) items.emplace_back(std::nullopt);
                    else items.emplace_back(rest);
                }
            } else {
                items.emplace_back(std::move(item));
            }
            value_pending = true;
        }
    }
    return true;
}

}  // namespace

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

bool parse_reals(std::string_view line, std::vector<std::optional<double>>& values) {
    std::vector<std::optional<std::string>> items;
    values.clear();
    if (!split_items(line, items)) return false;
    for (const auto& item : items) {
        if (!item) {
            values.emplace_back(std::nullopt);
            continue;
        }
        auto v = parse_real(*item);
        if (!v) return false;
        values.emplace_back(v);
    }
    return true;
}

bool parse_ints(std::string_view line, std::vector<std::optional<long>>& values) {
    std::vector<std::optional<std::string>> items;
    values.clear();
    if (!split_items(line, items)) return false;
    for (const auto& item : items) {
        if (!item) {
            values.emplace_back(std::nullopt);
            continue;
        }
        auto v = parse_int(*item);
        if (!v) return false;
        values.emplace_back(v);
    }
    return true;
}

std::string format_real(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.7g", value);
    std::string text(buffer);
    // Like list-directed output, a real always shows its decimal point.
    if (text.find_first_of(".eEn") == std::string::npos) text += ".0";
    return text;
}

}  // namespace platform
