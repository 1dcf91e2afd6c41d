#include "platform/codepage.h"

#include <cstdlib>

namespace platform {

namespace {

// Code page 850, bytes 0x80 to 0xFF.
constexpr char16_t kCp850High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4, 0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE, 0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580, 0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE, 0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4, 0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8, 0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0};

}  // namespace

void append_utf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string cp850_to_utf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        append_utf8(out, b < 0x80 ? char32_t(b) : char32_t(kCp850High[b - 0x80]));
    }
    return out;
}

std::string latin1_to_utf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) append_utf8(out, static_cast<unsigned char>(c));
    return out;
}

namespace {

// Length of the valid UTF-8 sequence at position i, or 0.
std::size_t utf8_sequence(std::string_view s, std::size_t i, char32_t& cp) {
    auto b0 = static_cast<unsigned char>(s[i]);
    std::size_t len;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (i + len > s.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

}  // namespace

bool is_valid_utf8(std::string_view bytes) {
    char32_t cp;
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t len = utf8_sequence(bytes, i, cp);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

namespace {

// The raw value of MURAL_CODEPAGE without surrounding blanks; empty when unset.
std::string code_page_setting() {
    const char* env = std::getenv("MURAL_CODEPAGE");
    std::string_view value = env ? env : "";
    std::size_t first = value.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return std::string(value.substr(first, value.find_last_not_of(" \t") - first + 1));
}

bool is_german_latin1_letter(unsigned char b) {
    switch (b) {
        case 0xC4: case 0xD6: case 0xDC: case 0xE4: case 0xF6: case 0xFC: case 0xDF:
            return true;
        default:
            return false;
    }
}

}  // namespace

std::optional<CodePage> forced_code_page() {
    const std::string value = code_page_setting();
    if (value == "850") return CodePage::CP850;
    if (value == "8859-1") return CodePage::Latin1;
    return std::nullopt;
}

std::optional<std::string> unknown_code_page_setting() {
    const std::string value = code_page_setting();
    if (value.empty() || forced_code_page()) return std::nullopt;
    return value;
}

CodePage text_code_page(std::string_view bytes) {
    bool high = false, control = false, german_only = true;
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        if (b < 0x80) continue;
        high = true;
        if (b <= 0x9F) control = true;
        if (!is_german_latin1_letter(b)) german_only = false;
    }
    // Even a forced code page leaves UTF-8 alone: the program's own texts are UTF-8.
    if (high && is_valid_utf8(bytes)) return CodePage::UTF8;
    if (auto forced = forced_code_page()) return *forced;
    if (control) return CodePage::CP850;
    return german_only ? CodePage::Latin1 : CodePage::CP850;
}

std::string to_utf8(std::string_view bytes) {
    switch (text_code_page(bytes)) {
        case CodePage::UTF8: return std::string(bytes);
        case CodePage::Latin1: return latin1_to_utf8(bytes);
        case CodePage::CP850: break;
    }
    return cp850_to_utf8(bytes);
}

std::optional<unsigned char> cp850_byte(char32_t code_point) {
    if (code_point < 0x80) return static_cast<unsigned char>(code_point);
    for (int b = 0; b < 128; ++b)
        if (kCp850High[b] == code_point) return static_cast<unsigned char>(0x80 + b);
    return std::nullopt;
}

std::string utf8_to_cp850(std::string_view utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp;
        std::size_t len = utf8_sequence(utf8, i, cp);
        if (len == 0) {
            out += '?';
            ++i;
            continue;
        }
        i += len;
        if (cp < 0x80) {
            out += static_cast<char>(cp);
            continue;
        }
        auto byte = cp850_byte(cp);
        out += byte ? static_cast<char>(*byte) : '?';
    }
    return out;
}

std::u32string decode_text(std::string_view bytes) {
    const bool cp850 = text_code_page(bytes) == CodePage::CP850;
    std::u32string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t cp;
        std::size_t len = utf8_sequence(bytes, i, cp);
        if (len > 1) {
            out += cp;
            i += len;
            continue;
        }
        auto b = static_cast<unsigned char>(bytes[i]);
        out += b < 0x80 || !cp850 ? char32_t(b) : char32_t(kCp850High[b - 0x80]);
        ++i;
    }
    return out;
}

}  // namespace platform
