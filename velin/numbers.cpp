// Numbers as text: Fortran edit descriptors (Iw, Fw.d, Ew.d with a scale
// factor such as 1P), right-justified in their field and filled with
// asterisks when the number does not fit; the automatic format of axis
// numbers; and the routines that draw numbers as stroked text.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "velin/internal.h"
#include "velin/velin.h"

namespace velin {

namespace {

struct EditDescriptor {
    char kind = 'F';  // I, F or E
    int width = 10;
    int decimals = 0;
    int scale = 0;  // kP
};

std::string right_justify(const std::string& text, int width) {
    if (static_cast<int>(text.size()) > width) return std::string(static_cast<std::size_t>(width), '*');
    return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

// "(1PE10.1)", "(F15.3)", "(I10)"; false when it is none of these.
bool parse_descriptor(std::string_view fmt, EditDescriptor& d) {
    std::string f;
    for (char c : fmt)
        if (c != ' ' && c != '(' && c != ')') f += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::size_t i = 0;
    auto number = [&](int& out) {
        std::size_t start = i;
        bool negative = i < f.size() && f[i] == '-';
        if (negative) ++i;
        long v = 0;
        while (i < f.size() && std::isdigit(static_cast<unsigned char>(f[i])) && v < 1000) v = v * 10 + (f[i++] - '0');
        if (i == start + (negative ? 1u : 0u)) return false;
        out = static_cast<int>(negative ? -v : v);
        return true;
    };
    int k = 0;
    std::size_t p = f.find('P');
    if (p != std::string::npos) {
        if (!number(k) || i != p) return false;
        i = p + 1;
    }
    if (i >= f.size()) return false;
    d.kind = f[i++];
    d.scale = k;
    if (d.kind == 'D') d.kind = 'E';
    if (d.kind != 'I' && d.kind != 'F' && d.kind != 'E') return false;
    if (!number(d.width) || d.width < 1 || d.width > 100) return false;
    d.decimals = 0;
    if (i < f.size() && f[i] == '.') {
        ++i;
        if (!number(d.decimals) || d.decimals < 0 || d.decimals > 30) return false;
    } else if (d.kind != 'I') {
        return false;
    }
    return i == f.size();
}

std::string not_finite(double v, int width) {
    std::string text = std::isnan(v) ? "NaN" : (v < 0 ? "-Infinity" : "Infinity");
    if (std::isinf(v) && static_cast<int>(text.size()) > width) text = v < 0 ? "-Inf" : "Inf";
    return right_justify(text, width);
}

std::string format_fixed(double v, int width, int decimals) {
    if (!std::isfinite(v)) return not_finite(v, width);
    if (std::fabs(v) >= 1e30) return std::string(static_cast<std::size_t>(width), '*');
    char buf[128];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    std::string text = buf;
    // A value that rounds to zero is shown without a sign.
    if (text[0] == '-' && text.find_first_of("123456789") == std::string::npos) text.erase(0, 1);
    if (static_cast<int>(text.size()) > width) {
        // Fortran drops the optional zero before the decimal point first.
        std::size_t zero = text[0] == '-' ? 1 : 0;
        if (text.size() > zero + 1 && text[zero] == '0' && text[zero + 1] == '.') text.erase(zero, 1);
    }
    return right_justify(text, width);
}

std::string format_exponent(double v, int width, int decimals, int scale) {
    if (!std::isfinite(v)) return not_finite(v, width);
    int significant = scale > 0 ? decimals + 1 : decimals + scale;
    if (significant < 1 || scale > decimals + 1) return std::string(static_cast<std::size_t>(width), '*');
    std::string digits;
    int exponent = 0;  // of the form d.ddd
    bool negative = std::signbit(v) && v != 0.0;
    if (v == 0.0) {
        digits.assign(static_cast<std::size_t>(significant), '0');
    } else {
        char buf[128];
        std::snprintf(buf, sizeof buf, "%.*e", significant - 1, std::fabs(v));
        std::string s = buf;
        auto e = s.find('e');
        exponent = std::stoi(s.substr(e + 1));
        for (std::size_t i = 0; i < e; ++i)
            if (s[i] != '.') digits += s[i];
    }
    std::string mantissa;
    int shown_exponent;
    if (scale > 0) {
        mantissa = digits.substr(0, static_cast<std::size_t>(scale)) + "." + digits.substr(static_cast<std::size_t>(scale));
        shown_exponent = v == 0.0 ? 0 : exponent - scale + 1;
    } else {
        mantissa = "0." + std::string(static_cast<std::size_t>(-scale), '0') + digits;
        shown_exponent = v == 0.0 ? 0 : exponent + 1 - scale;
    }
    char ebuf[16];
    int ae = std::abs(shown_exponent);
    if (ae <= 99) std::snprintf(ebuf, sizeof ebuf, "E%c%02d", shown_exponent < 0 ? '-' : '+', ae);
    else if (ae <= 999) std::snprintf(ebuf, sizeof ebuf, "%c%03d", shown_exponent < 0 ? '-' : '+', ae);
    else return std::string(static_cast<std::size_t>(width), '*');
    std::string text = (negative ? "-" : "") + mantissa + ebuf;
    if (static_cast<int>(text.size()) > width && scale <= 0) {
        std::size_t zero = negative ? 1 : 0;
        text.erase(zero, 1);  // the optional leading zero
    }
    return right_justify(text, width);
}

std::string format_number(double v, std::string_view fmt) {
    EditDescriptor d;
    if (!parse_descriptor(fmt, d)) detail::fail("NUM2S", "Format " + std::string(fmt) + " nicht erlaubt");
    switch (d.kind) {
        case 'I': {
            if (!std::isfinite(v) || std::fabs(v) > 9.2e18) return std::string(static_cast<std::size_t>(d.width), '*');
            return detail::fmt_int(std::llround(v), d.width);
        }
        case 'F':
            return format_fixed(d.scale != 0 ? v * std::pow(10.0, d.scale) : v, d.width, d.decimals);
        default:
            return format_exponent(v, d.width, d.decimals, d.scale);
    }
}

std::string left_adjusted(const std::string& field) {
    auto first = field.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : field.substr(first);
}

std::string real_format(int& NDEC) {
    if (std::abs(NDEC) >= 10) {
        VLERROR("REALNO-W-max 9 Nachkommastellen");
        NDEC = NDEC < 0 ? -3 : 3;
    }
    std::string fmt = "(F15.3)";
    fmt[5] = static_cast<char>('0' + std::abs(NDEC));
    if (NDEC < 0) fmt[1] = 'E';
    return fmt;
}

std::string real_text(float R, int NDEC) {
    return left_adjusted(format_number(R, real_format(NDEC)));
}

std::string int_text(int I) { return left_adjusted(format_number(I, "(I10)")); }

}  // namespace

namespace detail {

std::string fmt_int(long long value, int width) { return right_justify(std::to_string(value), width); }

std::string fmt_int0(long long value, int width) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (static_cast<int>(digits.size()) < width) digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    return right_justify((value < 0 ? "-" : "") + digits, width);
}

std::string fmt_fixed(double value, int width, int decimals) { return format_fixed(value, width, decimals); }

std::string number_text(double value, std::string_view fmt) { return left_adjusted(format_number(value, fmt)); }

}  // namespace detail

int NUM2S(float V, std::string& STR, std::string_view FMT) {
    STR = detail::number_text(V, FMT);
    return static_cast<int>(STR.size());
}

void GETFMT(float XMIN, float STEP, float XMAX, std::string& FMT) {
    FMT = "(F10.1)";
    double largest = std::fmax(std::fabs(XMIN), std::fmax(std::fabs(STEP), std::fabs(XMAX)));
    int e = largest > 0.0 && std::isfinite(largest) ? static_cast<int>(std::log10(largest)) : 0;
    if (std::abs(e) >= 5) {
        FMT[1] = 'E';
        return;
    }
    int decimals = 6;
    for (int d = 1; d <= 5; ++d) {
        double scale = std::pow(10.0, d);
        double a = scale * std::fabs(XMIN), b = scale * std::fabs(STEP);
        // The step must also show as at least one unit of the last decimal.
        if (std::fabs(a - std::nearbyint(a)) <= 0.1 && std::fabs(b - std::nearbyint(b)) <= 0.1 && b >= 0.9) {
            decimals = d;
            break;
        }
    }
    FMT[5] = static_cast<char>('0' + decimals);
}

void INTNO(int I, float X, float Y) {
    std::string text = int_text(I);
    MESSAG(text, static_cast<int>(text.size()), X, Y);
}

void RLINT(int I, float XU, float YU) {
    float x, y;
    UU2MM(XU, YU, x, y);
    INTNO(I, x, y);
}

void REALNO(float R, int NDEC, float X, float Y) {
    std::string text = real_text(R, NDEC);
    MESSAG(text, static_cast<int>(text.size()), X, Y);
}

void RLREAL(float R, int NDEC, float XU, float YU) {
    float x, y;
    UU2MM(XU, YU, x, y);
    REALNO(R, NDEC, x, y);
}

float XINT(int I) {
    std::string text = int_text(I);
    return XMESS(text, static_cast<int>(text.size()));
}

float XREAL(float R, int NDEC) {
    std::string text = real_text(R, NDEC);
    return XMESS(text, static_cast<int>(text.size()));
}

}  // namespace velin
