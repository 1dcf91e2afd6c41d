// Stroked text from the loaded style. Glyph g (1..102) is the character
// g + 31 for the printable ASCII bytes, 96..102 are "ÄÖÜäöüß". Header word g
// points (1-based) at the glyph's first data word, its advance width; the
// words up to header(g + 1) - 1 are (x, y) stroke points in 1/10000 of the
// text height, y from the baseline; an x below zero starts a new stroke at
// x + 32767. A glyph point p goes to the page as
//   shift(start) * rotation(angle) * [h, slant*h; 0, h_vertical] * (p + advance).
// With a negative style sign the strokes are closed outlines and are filled.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "velin/internal.h"
#include "velin/velin.h"

namespace velin {

namespace {

int glyph_of(char32_t c) {
    if (c >= 32 && c <= 126) return static_cast<int>(c) - 31;
    switch (c) {
        case U'Ä': return 96;
        case U'Ö': return 97;
        case U'Ü': return 98;
        case U'ä': return 99;
        case U'ö': return 100;
        case U'ü': return 101;
        case U'ß': return 102;
        default: return 0;
    }
}

struct GlyphWords {
    int first = 0, last = 0;  // 0-based indices into the style data: width word, last stroke word
};

GlyphWords glyph_words(int g, std::string_view routine) {
    const PlotState& st = plot_state();
    if (st.style_header.size() < 128) detail::fail(routine, "Pointer out of range");
    int first = st.style_header[static_cast<std::size_t>(g - 1)];
    int next = st.style_header[static_cast<std::size_t>(g)];
    int n = static_cast<int>(st.style_data.size());
    if (first < 1 || first > n || next <= first || next > n + 1) detail::fail(routine, "Pointer out of range");
    return {first - 1, next - 2};
}

float glyph_width(int g, std::string_view routine) {
    return static_cast<float>(plot_state().style_data[static_cast<std::size_t>(glyph_words(g, routine).first)]) /
           10000.0f;
}

int lantxt(const std::u32string& text, int N) {
    int n = N;
    if (N == 100) {
        auto dollar = text.find(U'$');
        n = dollar == std::u32string::npos ? static_cast<int>(text.size()) : static_cast<int>(dollar);
    }
    return std::clamp(n, 0, static_cast<int>(text.size()));
}

std::string printable(char32_t c) {
    std::string out;
    platform::append_utf8(out, c < 32 || c == 127 ? U'?' : c);
    return out;
}

// The number that a warning gives for a character: its byte in code page 850,
// the code page of the model's files, right-justified in `width`; for a
// character that code page lacks, its Unicode number.
std::string character_number(char32_t c, int width) {
    if (auto byte = platform::cp850_byte(c)) return detail::fmt_int(*byte, width);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(c));
    return buffer;
}

void apply(const Matrix& m, float x, float y, float& px, float& py) {
    px = m.m[0][0] * x + m.m[0][1] * y + m.m[0][2];
    py = m.m[1][0] * x + m.m[1][1] * y + m.m[1][2];
}

}  // namespace

namespace detail {

std::string cut_text(std::string_view text, int n) {
    std::u32string decoded = platform::decode_text(text);
    std::string out;
    for (int i = 0; i < std::min(n, static_cast<int>(decoded.size())); ++i)
        platform::append_utf8(out, decoded[static_cast<std::size_t>(i)]);
    return out;
}

}  // namespace detail

int LANTXT(std::string_view TEXT, int N) { return lantxt(platform::decode_text(TEXT), N); }

void CUP2LO(std::string_view TEXT, std::string& OUT, int N) {
    OUT.assign(TEXT.substr(0, static_cast<std::size_t>(std::clamp<int>(N, 0, static_cast<int>(TEXT.size())))));
    for (char& c : OUT)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

void HEIGHT(float H) {
    DrawSettings& s = plot_state().s;
    s.text_height = H;
    s.text_vscale = H;
}

void ANGLE(float A) { plot_state().s.text_angle = A; }

void CHARSP(float S) {
    DrawSettings& s = plot_state().s;
    // Without a text height there is no cell to space by.
    if (S == 0.0f || s.text_height == 0.0f || !std::isfinite(S)) {
        s.ChSpace = 0.0f;
        return;
    }
    // The proportional width of "m": measured with the current spacing, a
    // second call would widen the spacing again.
    const float m_width = glyph_width(glyph_of(U'm'), "CHARSP") * s.text_vscale;
    s.ChSpace = (S + m_width) / s.text_height;
}

void ITALIC() { plot_state().s.slant = 0.2f; }

float TXTHEI() { return plot_state().s.text_height; }

float CURTHK() { return plot_state().s.curve_thickness; }

Matrix BSCALE(float SX, float SY) {
    Matrix r;
    r.m[0][0] = SX;
    r.m[1][1] = SY;
    return r;
}

Matrix BSHIFT(float X, float Y) {
    Matrix r;
    r.m[0][2] = X;
    r.m[1][2] = Y;
    return r;
}

Matrix BANGLE(float A) {
    float a = A * plot_state().PiFa;
    Matrix r;
    r.m[0][0] = std::cos(a);
    r.m[0][1] = -std::sin(a);
    r.m[1][0] = std::sin(a);
    r.m[1][1] = std::cos(a);
    return r;
}

void MULT2(const Matrix& P, const Matrix& Q, Matrix& R) {
    Matrix r;
    for (int i = 0; i < 2; ++i) {
        r.m[i][0] = P.m[i][0] * Q.m[0][0] + P.m[i][1] * Q.m[1][0];
        r.m[i][1] = P.m[i][0] * Q.m[0][1] + P.m[i][1] * Q.m[1][1];
        r.m[i][2] = P.m[i][0] * Q.m[0][2] + P.m[i][1] * Q.m[1][2] + P.m[i][2];
    }
    R = r;
}

void ROTCS(const Matrix& M, float& X, float& Y) {
    float x, y;
    apply(M, X, Y, x, y);
    X = x;
    Y = y;
}

float XMESS(std::string_view TEXT, int N) {
    constexpr char ROUTINE[] = "XMESS";
    const PlotState& st = plot_state();
    const DrawSettings& s = st.s;
    std::u32string text = platform::decode_text(TEXT);
    int n = lantxt(text, N);
    float width;
    if (s.ChSpace > 0.0f) {
        width = s.ChSpace * static_cast<float>(n) * s.text_vscale;
    } else {
        float sum = 0.0f;
        for (int i = 0; i < n; ++i) {
            char32_t c = text[static_cast<std::size_t>(i)];
            int g = c < 32 ? 1 : glyph_of(c);
            if (g == 0) {
                VLERROR("XMESS-W-undefined Character:" + character_number(c, 4) + printable(c));
                g = '?' - 31;
            }
            sum += glyph_width(g, ROUTINE) + s.char_gap;
        }
        width = n > 0 ? (sum - s.char_gap) * s.text_vscale : 0.0f;
    }
    if (st.debug) VLERROR("XMESS-I-length" + detail::fmt_fixed(width, 10, 3) + " " + detail::cut_text(TEXT, n));
    return width;
}

void MESSAG(std::string_view TEXT, int N, float X, float Y) {
    constexpr char ROUTINE[] = "MESSAG";
    PlotState& st = plot_state();
    const DrawSettings& s = st.s;
    std::u32string text = platform::decode_text(TEXT);
    int n = lantxt(text, N);
    if (std::fabs(X + 999.0f) < 0.001f && std::fabs(Y + 999.0f) < 0.001f) {
        X = st.cur_x;
        Y = st.cur_y;
    }
    Matrix shape;
    shape.m[0][0] = s.text_height;
    shape.m[0][1] = s.slant * s.text_height;
    shape.m[1][1] = s.text_vscale;
    Matrix turned, m;
    MULT2(BANGLE(s.text_angle), shape, turned);
    MULT2(BSHIFT(X, Y), turned, m);
    // Text is always solid and drawn with the thinnest width.
    detail::apply_solid();
    detail::apply_width(0.0f);
    if (st.debug) detail::message_line(" MESSAG-I-" + detail::cut_text(TEXT, n));
    const std::vector<std::int16_t>& data = st.style_data;
    bool outline = st.style_sign < 0;
    float advance = 0.0f;
    std::vector<detail::Contour> strokes;
    for (int i = 0; i < n; ++i) {
        char32_t c = text[static_cast<std::size_t>(i)];
        int g = glyph_of(c);
        if (g == 0) {
            detail::message_line(" MESSAG-W-undefined character (" + printable(c) + ") ASCII=" +
                                 character_number(c, 3));
            continue;
        }
        GlyphWords words = glyph_words(g, ROUTINE);
        float width = static_cast<float>(data[static_cast<std::size_t>(words.first)]) / 10000.0f;
        float offset = s.ChSpace > 0.0f ? advance + 0.5f * (s.ChSpace - width) : advance;
        strokes.clear();
        for (int w = words.first + 1; w + 1 <= words.last; w += 2) {
            int gx = data[static_cast<std::size_t>(w)], gy = data[static_cast<std::size_t>(w + 1)];
            bool start = gx < 0 || strokes.empty();
            if (gx < 0) gx += 32767;
            if (start) strokes.emplace_back();
            float px, py;
            apply(m, static_cast<float>(gx) / 10000.0f + offset, static_cast<float>(gy) / 10000.0f, px, py);
            strokes.back().x.push_back(px);
            strokes.back().y.push_back(py);
        }
        std::size_t points = 0;
        for (const auto& k : strokes) points += k.x.size();
        if (outline && points >= 3) {
            detail::fill_contours(strokes);
        } else {
            for (const auto& k : strokes)
                if (k.x.size() >= 2) detail::draw_polyline(k.x, k.y);
        }
        advance += s.ChSpace > 0.0f ? s.ChSpace : width + s.char_gap;
    }
    apply(m, advance, 0.0f, st.cur_x, st.cur_y);
}

void RLMESS(std::string_view TEXT, int N, float XU, float YU) {
    float x, y;
    UU2MM(XU, YU, x, y);
    MESSAG(TEXT, N, x, y);
}

void FILFNT(std::span<const float> X, std::span<const float> Y, int N) {
    detail::check_points("FILFNT", N, std::min(X.size(), Y.size()));
    if (N < 3) return;
    detail::Contour k{{X.begin(), X.begin() + N}, {Y.begin(), Y.begin() + N}};
    detail::fill_contours({&k, 1});
}

}  // namespace velin
