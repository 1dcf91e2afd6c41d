// The interpreter: a two-letter mnemonic, then its parameters (numbers
// separated by commas or blanks, quoted strings) up to ";" or the next
// mnemonic. Escape sequences of the device set-up are passed over.
//
// State: pen position (plotter units, absolute or relative input), pen up or
// down, selected pen, the 256 pens' colours and widths, line type and user
// line patterns, fill type, rotation and the polygon buffer.
//
// Drawing: consecutive pen-down moves build one polyline, which reaches the
// canvas as a single stroke when anything else happens, so that a dash pattern
// runs on across its corners. In polygon mode the moves are collected into
// subpolygons (PM1 starts a new one, CI adds a circle) that FP fills and EP
// outlines, the outline leaving out pen-up moves.
//
// PE (encoded polylines) packs coordinates as numbers of base 64 (or 32
// after the flag "7"), least significant digit first, the last digit from
// the high range; the lowest bit of a number is its sign. Flags: ":" pen,
// "<" the next point is a pen-up move, ">" fractional bits of the
// coordinates, "=" the next point is absolute (else relative).
#include "preview/hpgl.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <set>
#include <string>

#include "platform/fatal.h"

namespace preview {

namespace {

constexpr char ROUTINE[] = "PREVIEW";

// Coordinates beyond this are not a plot but a broken file.
constexpr double MAX_NUMBER = 1073741823.0;
// A polyline this long is stroked in parts (its dash pattern starts anew).
constexpr std::size_t MAX_POLYLINE = 1u << 16;
// The diagonal that relative lengths (line patterns, hatch spacing) refer to:
// that of an A4 page, mm.
constexpr double REFERENCE_DIAGONAL = 364.0;
constexpr double DEFAULT_WIDTH = 0.35;  // mm, after IN

constexpr char ETX = '\x03';
constexpr char ESC = '\x1b';

const Rgb DEFAULT_COLOURS[8] = {{1, 1, 1}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {0, 0, 1}, {1, 0, 1}, {0, 1, 1}};

Rgb default_colour(int pen) { return pen < 8 ? DEFAULT_COLOURS[pen] : Rgb{0, 0, 0}; }

// The fixed line patterns 1..8, percentages of the pattern length: drawn, gap, drawn, ...
const std::vector<double> DEFAULT_PATTERNS[9] = {
    {},
    {0, 100},
    {50, 50},
    {70, 30},
    {80, 10, 0, 10},
    {70, 10, 10, 10},
    {50, 10, 10, 10, 10, 10},
    {70, 10, 0, 10, 0, 10},
    {50, 10, 0, 10, 10, 10, 0, 10},
};

bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

class Interpreter {
public:
    // `prefix`: the text is only the beginning of a stream; its end is no fault.
    Interpreter(std::string_view text, Canvas& canvas, const WarningSink& warn, bool prefix = false)
        : s_(text), canvas_(canvas), warn_(warn), prefix_(prefix) {
        initialise();
    }

    int run();

private:
    // ---- reading ----
    [[noreturn]] void unexpected(std::size_t at) const;
    void escape();
    void skip_to(char terminator, std::string_view mnemonic);
    double number();
    void parameters();
    void encoded_polyline();
    long long encoded_number(bool base32);
    void select_pen(int pen);

    // ---- state ----
    void initialise();
    void defaults();
    void reset_palette();
    void reset_colour_range();
    void reset_line_patterns();
    void execute(std::string_view m);
    bool has(std::size_t n) const { return p_.size() >= n && !std::isnan(p_[n - 1]); }
    int parameter(std::size_t i) const { return static_cast<int>(std::lround(p_[i])); }

    // ---- instructions: one member each, found by mnemonic in execute ----
    void pen_up_or_down(std::string_view m);
    void absolute_or_relative(std::string_view m);
    void page(std::string_view m);
    void pen(std::string_view m);
    void pen_width(std::string_view m);
    void pen_colour(std::string_view m);
    void number_of_pens(std::string_view m);
    void colour_range(std::string_view m);
    void line_type(std::string_view m);
    void user_line_type(std::string_view m);
    void fill_type(std::string_view m);
    void polygon_mode(std::string_view m);
    void fill_polygon_instruction(std::string_view m);
    void edge_polygon_instruction(std::string_view m);
    void circle_instruction(std::string_view m);
    void filled_rectangle(std::string_view m);
    void edged_rectangle(std::string_view m);
    void rotate(std::string_view m);
    void initialise_instruction(std::string_view m);
    void defaults_instruction(std::string_view m);
    void scale(std::string_view m);
    void input_window(std::string_view m);
    void job_setting(std::string_view m);
    void warn_once(std::string_view key, std::string_view text);
    Rgb colour_of(double r, double g, double b) const;
    Pen current_pen() const;
    Point to_mm(double x, double y) const {
        return {static_cast<float>(x / UNITS_PER_MM), static_cast<float>(y / UNITS_PER_MM)};
    }

    // ---- drawing ----
    void ensure_page();
    void end_page();
    void plot(bool pen_down, bool relative);
    void move(double x, double y, bool pen_down);
    void flush_line();
    void polygon_point(double x, double y, bool pen_down);
    void close_subpolygon();
    void circle();
    void rectangle(bool relative, bool filled);
    void fill_polygon(int rule);
    void edge_polygon();
    Fill current_fill(bool even_odd) const;

    std::string_view s_;
    std::size_t pos_ = 0;
    Canvas& canvas_;
    const WarningSink& warn_;
    bool prefix_ = false;
    std::set<std::string, std::less<>> warned_;
    std::vector<double> p_;  // parameters of the instruction being executed
    std::string last_;       // the last mnemonic read
    char label_terminator_ = ETX;

    double x_ = 0.0, y_ = 0.0;  // pen position, plotter units
    bool down_ = false, relative_ = false;
    int pen_ = 1;
    std::array<Rgb, 256> colours_{};
    std::array<double, 256> widths_{};
    double range_[6] = {0, 255, 0, 255, 0, 255};
    int line_type_ = 0;  // 0 solid
    double pattern_mm_ = 0.04 * REFERENCE_DIAGONAL;
    int previous_type_ = 0;
    double previous_pattern_mm_ = 0.04 * REFERENCE_DIAGONAL;
    std::array<std::vector<double>, 9> patterns_;
    FillKind fill_kind_ = FillKind::solid;
    double hatch_spacing_ = 0.0;  // plotter units; 0 = 1 % of the reference diagonal
    double hatch_angle_ = 0.0;
    int rotation_ = 0;

    bool in_polygon_ = false;
    std::vector<Subpath> polygon_;
    Subpath line_;

    bool page_open_ = false;
    int pages_ = 0;
};

void Interpreter::warn_once(std::string_view key, std::string_view text) {
    if (warned_.find(key) != warned_.end()) return;
    warned_.emplace(key);
    if (warn_) warn_(std::string(ROUTINE) + "-W-" + std::string(text));
}

// The end of the beginning of a stream that check_hpgl_start looks at.
struct EndOfPrefix {};

void Interpreter::unexpected(std::size_t at) const {
    if (at >= s_.size() && prefix_) throw EndOfPrefix{};
    if (at >= s_.size()) platform::fatal(ROUTINE, "Plotdatei endet mitten in einem Befehl: unvollständig");
    char text[96];
    std::snprintf(text, sizeof text, "kein HP-GL: unerwartetes Zeichen 0x%02X bei Byte %zu",
                  static_cast<unsigned>(static_cast<unsigned char>(s_[at])), at + 1);
    platform::fatal(ROUTINE, text);
}

// ESC % [sign] digits letter (mode switch, UEL), ESC E (reset), ESC . x ... (device control).
void Interpreter::escape() {
    std::size_t start = pos_;
    ++pos_;
    if (pos_ >= s_.size()) unexpected(pos_);
    char c = s_[pos_++];
    if (c == 'E') return;
    if (c == '%') {
        if (pos_ < s_.size() && (s_[pos_] == '-' || s_[pos_] == '+')) ++pos_;
        std::size_t digits = 0;
        while (pos_ < s_.size() && is_digit(s_[pos_]) && digits < 8) ++pos_, ++digits;
        if (pos_ >= s_.size() || !is_letter(s_[pos_])) unexpected(pos_);
        ++pos_;
        return;
    }
    if (c == '.') {
        // Device control: ESC . letter [parameters] [:]
        if (pos_ >= s_.size()) unexpected(pos_);
        ++pos_;
        while (pos_ < s_.size() && (is_digit(s_[pos_]) || s_[pos_] == ';' || is_blank(s_[pos_]))) ++pos_;
        if (pos_ < s_.size() && s_[pos_] == ':') ++pos_;
        warn_once("ESC.", "Gerätesteuerung (ESC .) übersprungen");
        return;
    }
    unexpected(start);
}

// Text instructions (labels) run to their terminator; their text is not drawn.
void Interpreter::skip_to(char terminator, std::string_view mnemonic) {
    std::size_t end = s_.find(terminator, pos_);
    if (end == std::string_view::npos) unexpected(s_.size());
    pos_ = end + 1;
    warn_once(mnemonic, "Befehl " + std::string(mnemonic) + " übersprungen (Text wird nicht gezeichnet)");
}

double Interpreter::number() {
    std::size_t start = pos_;
    bool negative = false;
    if (s_[pos_] == '+' || s_[pos_] == '-') negative = s_[pos_++] == '-';
    double v = 0.0;
    int digits = 0;
    while (pos_ < s_.size() && is_digit(s_[pos_])) {
        v = 10.0 * v + (s_[pos_++] - '0');
        if (++digits > 12) break;
    }
    if (pos_ < s_.size() && s_[pos_] == '.') {
        ++pos_;
        double scale = 0.1;
        while (pos_ < s_.size() && is_digit(s_[pos_])) {
            if (scale > 1e-12) v += scale * (s_[pos_] - '0');
            scale *= 0.1;
            ++pos_;
            ++digits;
        }
    }
    if (digits == 0) unexpected(pos_ >= s_.size() ? pos_ : start);
    if (v > MAX_NUMBER || (pos_ < s_.size() && is_digit(s_[pos_]))) {
        char text[64];
        std::snprintf(text, sizeof text, "Zahl außerhalb des Bereichs bei Byte %zu", start + 1);
        platform::fatal(ROUTINE, text);
    }
    return negative ? -v : v;
}

// Parameters up to ";", the next mnemonic or an escape; a quoted string counts
// as one parameter (NaN).
void Interpreter::parameters() {
    p_.clear();
    while (pos_ < s_.size()) {
        char c = s_[pos_];
        if (is_blank(c) || c == ',') {
            ++pos_;
        } else if (c == ';') {
            ++pos_;
            return;
        } else if (is_letter(c) || c == ESC) {
            return;
        } else if (c == '"') {
            std::size_t end = s_.find('"', pos_ + 1);
            if (end == std::string_view::npos) unexpected(s_.size());
            pos_ = end + 1;
            p_.push_back(NAN);
        } else if (is_digit(c) || c == '+' || c == '-' || c == '.') {
            p_.push_back(number());
        } else {
            unexpected(pos_);
        }
    }
}

void Interpreter::reset_palette() {
    for (int i = 0; i < 256; ++i) colours_[static_cast<std::size_t>(i)] = default_colour(i);
}

void Interpreter::reset_colour_range() {
    for (int i = 0; i < 6; ++i) range_[i] = (i % 2) ? 255 : 0;
}

void Interpreter::reset_line_patterns() {
    for (int i = 0; i < 9; ++i) patterns_[static_cast<std::size_t>(i)] = DEFAULT_PATTERNS[i];
}

void Interpreter::initialise() {
    reset_palette();
    widths_.fill(DEFAULT_WIDTH);
    reset_colour_range();
    pen_ = 1;
    rotation_ = 0;
    x_ = y_ = 0.0;
    down_ = false;
    defaults();
}

// What DF restores: line type and patterns, fill type, absolute input, polygon buffer.
void Interpreter::defaults() {
    line_type_ = 0;
    pattern_mm_ = 0.04 * REFERENCE_DIAGONAL;
    reset_line_patterns();
    fill_kind_ = FillKind::solid;
    hatch_spacing_ = 0.0;
    hatch_angle_ = 0.0;
    relative_ = false;
    in_polygon_ = false;
    polygon_.clear();
    label_terminator_ = ETX;
}

Rgb Interpreter::colour_of(double r, double g, double b) const {
    auto part = [&](double v, int i) {
        double black = range_[2 * i], white = range_[2 * i + 1];
        if (black == white) return v >= white ? 1.0 : 0.0;
        double f = (v - black) / (white - black);
        return f < 0.0 ? 0.0 : (f > 1.0 ? 1.0 : f);
    };
    return {part(r, 0), part(g, 1), part(b, 2)};
}

Pen Interpreter::current_pen() const {
    Pen pen;
    pen.colour = colours_[static_cast<std::size_t>(pen_)];
    pen.width_mm = widths_[static_cast<std::size_t>(pen_)];
    int type = std::abs(line_type_);
    if (type >= 1 && type <= 8) {
        const auto& pattern = patterns_[static_cast<std::size_t>(type)];
        double sum = 0.0;
        for (double v : pattern) sum += v;
        if (sum > 0.0)
            for (double v : pattern) pen.dashes.push_back(v / sum * pattern_mm_);
    }
    return pen;
}

Fill Interpreter::current_fill(bool even_odd) const {
    Fill f;
    f.kind = fill_kind_;
    f.colour = colours_[static_cast<std::size_t>(pen_)];
    f.even_odd = even_odd;
    f.spacing_mm = hatch_spacing_ > 0.0 ? hatch_spacing_ / UNITS_PER_MM : 0.01 * REFERENCE_DIAGONAL;
    f.angle_deg = hatch_angle_;
    f.line_width_mm = widths_[static_cast<std::size_t>(pen_)];
    return f;
}

void Interpreter::ensure_page() {
    if (page_open_) return;
    canvas_.begin_page({pages_, rotation_ == 90 || rotation_ == 270});
    page_open_ = true;
}

void Interpreter::end_page() {
    flush_line();
    if (!page_open_) return;
    canvas_.end_page();
    page_open_ = false;
    ++pages_;
}

void Interpreter::flush_line() {
    if (line_.points.size() >= 2) {
        ensure_page();
        canvas_.stroke({&line_, 1}, current_pen());
    }
    line_.points.clear();
}

void Interpreter::move(double x, double y, bool pen_down) {
    if (in_polygon_) {
        polygon_point(x, y, pen_down);
    } else if (pen_down) {
        if (line_.points.empty()) line_.points.push_back(to_mm(x_, y_));
        line_.points.push_back(to_mm(x, y));
        if (line_.points.size() >= MAX_POLYLINE) {
            Point last = line_.points.back();
            flush_line();
            line_.points.push_back(last);
        }
    } else {
        flush_line();
    }
    x_ = x;
    y_ = y;
}

void Interpreter::polygon_point(double x, double y, bool pen_down) {
    if (polygon_.empty()) polygon_.emplace_back();
    Subpath& k = polygon_.back();
    if (!pen_down && k.points.size() <= 1) {
        // A pen-up move before the first edge only moves the start.
        k.points.assign(1, to_mm(x, y));
        k.down.assign(1, false);
        return;
    }
    if (k.points.empty()) {
        k.points.push_back(to_mm(x_, y_));
        k.down.push_back(false);
    }
    k.points.push_back(to_mm(x, y));
    k.down.push_back(pen_down);
}

void Interpreter::close_subpolygon() {
    if (!polygon_.empty()) {
        Subpath& k = polygon_.back();
        if (k.radius == 0.0f && k.points.size() < 2) polygon_.pop_back();
        else k.closed = true;
    }
    polygon_.emplace_back();
}

// PU, PD, PA, PR: coordinate pairs in absolute or relative mode.
void Interpreter::plot(bool pen_down, bool relative) {
    if (p_.size() % 2 != 0) {
        warn_once("odd", "ungerade Anzahl Koordinaten, die letzte wird übergangen");
        p_.pop_back();
    }
    for (std::size_t i = 0; i + 1 < p_.size(); i += 2) {
        double x = p_[i], y = p_[i + 1];
        if (std::isnan(x) || std::isnan(y)) continue;
        if (relative) {
            x += x_;
            y += y_;
        }
        move(x, y, pen_down);
    }
}

void Interpreter::circle() {
    if (p_.empty() || std::isnan(p_[0])) {
        warn_once("CI", "Kreis ohne Radius übergangen");
        return;
    }
    Subpath k;
    k.points.push_back(to_mm(x_, y_));
    k.radius = static_cast<float>(std::fabs(p_[0]) / UNITS_PER_MM);
    k.closed = true;
    if (in_polygon_) {
        if (!polygon_.empty() && polygon_.back().radius == 0.0f && polygon_.back().points.size() < 2)
            polygon_.pop_back();
        polygon_.push_back(std::move(k));
        polygon_.emplace_back();
        return;
    }
    flush_line();
    if (k.radius <= 0.0f) return;
    ensure_page();
    canvas_.stroke({&k, 1}, current_pen());
}

// RA, RR (filled) and EA, ER (outlined) rectangles from the pen position; the pen stays.
void Interpreter::rectangle(bool relative, bool filled) {
    if (p_.size() < 2 || std::isnan(p_[0]) || std::isnan(p_[1])) {
        warn_once("rect", "Rechteck ohne Ecke übergangen");
        return;
    }
    if (in_polygon_) {
        warn_once("rectPM", "Rechteck im Polygonmodus übergangen");
        return;
    }
    flush_line();
    double x = relative ? x_ + p_[0] : p_[0], y = relative ? y_ + p_[1] : p_[1];
    Subpath k;
    k.points = {to_mm(x_, y_), to_mm(x, y_), to_mm(x, y), to_mm(x_, y)};
    k.closed = true;
    ensure_page();
    if (filled) canvas_.fill({&k, 1}, current_fill(true));
    else canvas_.stroke({&k, 1}, current_pen());
}

void Interpreter::fill_polygon(int rule) {
    flush_line();
    std::vector<Subpath> parts;
    for (const Subpath& k : polygon_)
        if (k.radius > 0.0f || k.points.size() >= 3) {
            parts.push_back(k);
            parts.back().closed = true;
            parts.back().down.clear();
        }
    if (parts.empty()) return;
    ensure_page();
    canvas_.fill(parts, current_fill(rule != 1));
}

void Interpreter::edge_polygon() {
    flush_line();
    std::vector<Subpath> parts;
    for (const Subpath& k : polygon_)
        if (k.radius > 0.0f || k.points.size() >= 2) {
            parts.push_back(k);
            parts.back().closed = true;
        }
    if (parts.empty()) return;
    ensure_page();
    canvas_.stroke(parts, current_pen());
}

// The instructions the preview draws or keeps track of, by mnemonic; any
// other is passed over with a warning.
void Interpreter::execute(std::string_view m) {
    using Instruction = void (Interpreter::*)(std::string_view);
    struct Entry {
        std::string_view mnemonic;
        Instruction run;
    };
    static constexpr Entry kInstructions[] = {
        {"PU", &Interpreter::pen_up_or_down},         {"PD", &Interpreter::pen_up_or_down},
        {"PA", &Interpreter::absolute_or_relative},   {"PR", &Interpreter::absolute_or_relative},
        {"PG", &Interpreter::page},                   {"SP", &Interpreter::pen},
        {"PW", &Interpreter::pen_width},              {"PC", &Interpreter::pen_colour},
        {"NP", &Interpreter::number_of_pens},         {"CR", &Interpreter::colour_range},
        {"LT", &Interpreter::line_type},              {"UL", &Interpreter::user_line_type},
        {"FT", &Interpreter::fill_type},              {"PM", &Interpreter::polygon_mode},
        {"FP", &Interpreter::fill_polygon_instruction}, {"EP", &Interpreter::edge_polygon_instruction},
        {"CI", &Interpreter::circle_instruction},     {"RA", &Interpreter::filled_rectangle},
        {"RR", &Interpreter::filled_rectangle},       {"EA", &Interpreter::edged_rectangle},
        {"ER", &Interpreter::edged_rectangle},        {"RO", &Interpreter::rotate},
        {"IN", &Interpreter::initialise_instruction}, {"DF", &Interpreter::defaults_instruction},
        {"SC", &Interpreter::scale},                  {"IW", &Interpreter::input_window},
        {"BP", &Interpreter::job_setting},            {"PS", &Interpreter::job_setting},
        {"IP", &Interpreter::job_setting},            {"WU", &Interpreter::job_setting},
    };
    for (const Entry& e : kInstructions)
        if (e.mnemonic == m) return (this->*e.run)(m);
    warn_once(m, "unbekannter Befehl " + std::string(m) + " übersprungen");
}

void Interpreter::pen_up_or_down(std::string_view m) {
    down_ = m == "PD";
    if (!down_) flush_line();
    plot(down_, relative_);
}

void Interpreter::absolute_or_relative(std::string_view m) {
    relative_ = m == "PR";
    plot(down_, relative_);
}

void Interpreter::page(std::string_view) { end_page(); }

void Interpreter::pen(std::string_view) { select_pen(has(1) ? parameter(0) : 0); }

void Interpreter::pen_width(std::string_view) {
    flush_line();
    double width = has(1) ? p_[0] : DEFAULT_WIDTH;
    if (width < 0.0) return warn_once("PW", "negative Stiftbreite übergangen");
    if (has(2)) {
        int pen = parameter(1);
        if (pen >= 0 && pen <= 255) widths_[static_cast<std::size_t>(pen)] = width;
    } else {
        widths_.fill(width);
    }
}

void Interpreter::pen_colour(std::string_view) {
    flush_line();
    if (!has(1)) return reset_palette();
    int pen = parameter(0);
    if (pen < 0 || pen > 255) return warn_once("PC", "Stiftnummer außerhalb 0..255 übergangen");
    colours_[static_cast<std::size_t>(pen)] = has(4) ? colour_of(p_[1], p_[2], p_[3]) : default_colour(pen);
}

void Interpreter::number_of_pens(std::string_view) {
    flush_line();
    reset_palette();
}

void Interpreter::colour_range(std::string_view) {
    if (!has(6)) return reset_colour_range();
    for (int i = 0; i < 6; ++i) range_[i] = p_[static_cast<std::size_t>(i)];
}

void Interpreter::line_type(std::string_view) {
    flush_line();
    if (!has(1)) {
        previous_type_ = line_type_;
        previous_pattern_mm_ = pattern_mm_;
        line_type_ = 0;
        return;
    }
    int type = parameter(0);
    if (type == 99) {
        std::swap(line_type_, previous_type_);
        std::swap(pattern_mm_, previous_pattern_mm_);
        return;
    }
    if (std::abs(type) > 8) return warn_once("LT", "unbekannter Linientyp, durchgezogen gezeichnet");
    previous_type_ = line_type_;
    previous_pattern_mm_ = pattern_mm_;
    line_type_ = type;
    double length = has(2) && p_[1] > 0.0 ? p_[1] : 4.0;
    pattern_mm_ = has(3) && parameter(2) == 1 ? length : length / 100.0 * REFERENCE_DIAGONAL;
}

void Interpreter::user_line_type(std::string_view) {
    flush_line();
    if (!has(1)) return reset_line_patterns();
    int index = std::abs(parameter(0));
    if (index < 1 || index > 8) return warn_once("UL", "unbekannter Linientyp in UL übergangen");
    std::vector<double> gaps;
    for (std::size_t i = 1; i < p_.size() && i <= 20; ++i)
        if (!std::isnan(p_[i])) gaps.push_back(std::fabs(p_[i]));
    patterns_[static_cast<std::size_t>(index)] = gaps.empty() ? DEFAULT_PATTERNS[index] : gaps;
}

void Interpreter::fill_type(std::string_view) {
    int type = has(1) ? parameter(0) : 1;
    if (type == 1 || type == 2) {
        fill_kind_ = FillKind::solid;
    } else if (type == 3 || type == 4) {
        fill_kind_ = type == 3 ? FillKind::hatch : FillKind::cross_hatch;
        if (has(2)) hatch_spacing_ = std::fabs(p_[1]);
        if (has(3)) hatch_angle_ = p_[2];
    } else {
        warn_once("FT", "Fülltyp " + std::to_string(type) + " als Vollfläche gezeichnet");
        fill_kind_ = FillKind::solid;
    }
}

void Interpreter::polygon_mode(std::string_view) {
    int mode = has(1) ? parameter(0) : 0;
    if (mode == 0) {
        flush_line();
        in_polygon_ = true;
        polygon_.clear();
        polygon_.emplace_back();
    } else if (in_polygon_) {
        close_subpolygon();
        if (mode == 2) {
            in_polygon_ = false;
            polygon_.pop_back();  // the empty one that close_subpolygon opened
        }
    }
}

void Interpreter::fill_polygon_instruction(std::string_view) { fill_polygon(has(1) ? parameter(0) : 0); }
void Interpreter::edge_polygon_instruction(std::string_view) { edge_polygon(); }
void Interpreter::circle_instruction(std::string_view) { circle(); }
void Interpreter::filled_rectangle(std::string_view m) { rectangle(m == "RR", true); }
void Interpreter::edged_rectangle(std::string_view m) { rectangle(m == "ER", false); }

void Interpreter::rotate(std::string_view) {
    int angle = has(1) ? parameter(0) : 0;
    if (angle != 0 && angle != 90 && angle != 180 && angle != 270)
        return warn_once("RO", "Drehung nur um 0, 90, 180 oder 270 Grad");
    rotation_ = angle;
}

void Interpreter::initialise_instruction(std::string_view) {
    flush_line();
    initialise();
}

void Interpreter::defaults_instruction(std::string_view) {
    flush_line();
    defaults();
}

void Interpreter::scale(std::string_view) {
    if (has(1)) warn_once("SC", "Skalierung (SC) nicht unterstützt, Koordinaten als Plottereinheiten genommen");
}

void Interpreter::input_window(std::string_view) {
    if (has(1)) warn_once("IW", "Fenster (IW) nicht unterstützt");
}

// Media size, input points and job settings do not change the drawing.
void Interpreter::job_setting(std::string_view m) {
    if (m == "WU" && has(1) && parameter(0) != 0) warn_once("WU", "relative Stiftbreiten (WU1) nicht unterstützt");
}

void Interpreter::select_pen(int pen) {
    if (pen < 0 || pen > 255) {
        warn_once("SP", "Stiftnummer außerhalb 0..255 übergangen");
        return;
    }
    if (pen == pen_) return;
    flush_line();
    pen_ = pen;
}

namespace {

// Bytes that PE passes over: blanks, control characters, DEL, 128-160, 255.
bool ignored_in_pe(unsigned char c) { return c <= 32 || c == 127 || (c >= 128 && c <= 160) || c == 255; }

}  // namespace

// One number of PE: digits until one from the high range.
long long Interpreter::encoded_number(bool base32) {
    long long value = 0, scale = 1;
    int digits = 0;
    while (pos_ < s_.size()) {
        auto c = static_cast<unsigned char>(s_[pos_]);
        if (ignored_in_pe(c)) {
            ++pos_;
            continue;
        }
        if (base32) c &= 0x7F;
        int digit = -1;
        bool last = false;
        if (base32 && c >= 63 && c <= 94) digit = c - 63;
        else if (base32 && c >= 95 && c <= 126) digit = c - 95, last = true;
        else if (!base32 && c >= 63 && c <= 126) digit = c - 63;
        else if (!base32 && c >= 191 && c <= 254) digit = c - 191, last = true;
        if (digit < 0) unexpected(pos_);
        ++pos_;
        // Ten digits of base 64 exceed any coordinate of a page.
        if (++digits > 10) {
            char text[64];
            std::snprintf(text, sizeof text, "Zahl außerhalb des Bereichs bei Byte %zu", pos_);
            platform::fatal(ROUTINE, text);
        }
        value += digit * scale;
        scale *= base32 ? 32 : 64;
        if (last) return value % 2 == 0 ? value / 2 : -(value / 2);
    }
    unexpected(s_.size());
}

void Interpreter::encoded_polyline() {
    bool base32 = false, pen_up = false, absolute = false;
    int fraction_bits = 0;
    while (pos_ < s_.size()) {
        const auto c = static_cast<unsigned char>(s_[pos_]);
        if (c == ';') {
            ++pos_;
            return;
        }
        if (ignored_in_pe(c)) {
            ++pos_;
            continue;
        }
        // Flags count without their eighth bit.
        const char flag = static_cast<char>(c & 0x7F);
        if (c < 191 && (flag == ':' || flag == '<' || flag == '>' || flag == '=' || flag == '7')) {
            ++pos_;
            if (flag == ':') select_pen(static_cast<int>(std::clamp(encoded_number(base32), -1LL, 256LL)));
            else if (flag == '<') pen_up = true;
            else if (flag == '>') fraction_bits = static_cast<int>(std::clamp(encoded_number(base32), -26LL, 26LL));
            else if (flag == '=') absolute = true;
            else base32 = true;
            continue;
        }
        const double unit = std::ldexp(1.0, -fraction_bits);
        double x = static_cast<double>(encoded_number(base32)) * unit;
        double y = static_cast<double>(encoded_number(base32)) * unit;
        if (!absolute) {
            x += x_;
            y += y_;
        }
        if (std::fabs(x) > MAX_NUMBER || std::fabs(y) > MAX_NUMBER) {
            char text[64];
            std::snprintf(text, sizeof text, "Zahl außerhalb des Bereichs bei Byte %zu", pos_);
            platform::fatal(ROUTINE, text);
        }
        down_ = !pen_up;
        if (!down_) flush_line();
        move(x, y, down_);
        pen_up = absolute = false;
    }
    unexpected(s_.size());
}

int Interpreter::run() {
    bool any = false;
    while (pos_ < s_.size()) {
        char c = s_[pos_];
        if (is_blank(c) || c == ';') {
            ++pos_;
            continue;
        }
        if (c == ESC) {
            escape();
            continue;
        }
        if (!is_letter(c)) unexpected(pos_);
        if (pos_ + 1 >= s_.size()) unexpected(s_.size());
        if (!is_letter(s_[pos_ + 1])) unexpected(pos_ + 1);
        char m[2] = {upper(c), upper(s_[pos_ + 1])};
        std::string_view mnemonic(m, 2);
        pos_ += 2;
        any = true;
        last_.assign(mnemonic);
        if (mnemonic == "LB" || mnemonic == "BL" || mnemonic == "WD") {
            skip_to(label_terminator_, mnemonic);
        } else if (mnemonic == "PE") {
            encoded_polyline();
        } else if (mnemonic == "DT") {
            // DT t[,mode]; sets the label terminator.
            if (pos_ >= s_.size()) unexpected(pos_);
            if (s_[pos_] != ';') label_terminator_ = s_[pos_++];
            else label_terminator_ = ETX;
            parameters();
        } else {
            parameters();
            execute(mnemonic);
        }
    }
    if (prefix_) return pages_;
    if (!any) platform::fatal(ROUTINE, "keine HP-GL-Befehle gefunden");
    if (last_ != "PG")
        platform::fatal(ROUTINE, "Plotdatei endet vor dem Seitenende (PG): unvollständig");
    return pages_;
}

}  // namespace

int interpret(std::string_view hpgl, Canvas& canvas, const WarningSink& warn) {
    Interpreter interpreter(hpgl, canvas, warn);
    return interpreter.run();
}

void check_hpgl_start(std::string_view first_bytes) {
    class Nothing : public Canvas {
    public:
        void begin_page(const PageStart&) override {}
        void stroke(std::span<const Subpath>, const Pen&) override {}
        void fill(std::span<const Subpath>, const Fill&) override {}
        void end_page() override {}
    } nothing;
    const WarningSink quiet = [](std::string_view) {};
    Interpreter interpreter(first_bytes, nothing, quiet, true);
    try {
        interpreter.run();
    } catch (const EndOfPrefix&) {
    }
}

}  // namespace preview
