// Drawing a digitised background map: the records of the data file, cut to
// the plot window, and a legend entry per feature class.
//
// Record layout (columns 1-based), read with (f5.1,5x,2(2x,4fw.1)) after the
// identifier in column 1:
//   1 identifier   2-6 gh0   7-13 skipped
//   group 1: four numbers of width w from column 14
//   group 2: four numbers of width w from column 14 + 4w + 2
// w is 7 when column 19 of the first record holds a ".", else 8 (group 1 at
// 14, 22, 30, 38 and group 2 at 48, 56, 64, 72; narrow: 14, 21, 28, 35 and
// 44, 51, 58, 65). Leading lines with a blank column 20 are a header. Only
// the first 96 characters of a line count. A blank field reads as 0; a field
// without a decimal point has one implied decimal, as the edit descriptor
// says ("  125" is 12.5).
//
// What the forms take from a record (the offsets RW, HW are added to every
// x and y):
//   P  up to four points, x from group 1 and y from group 2. Consecutive
//      records of one class are one series, ended by a line with the
//      identifier "!". A series is closed ("Polygon g.") when its last point
//      equals its first; an open one of a class with a pattern is closed.
//   R  the four corners of a rectangle, as P.
//   K  circle: centre (group-1 numbers 1, 2), radius group-1 number 3 in
//      model units (no offset); gh0 is not used.
//   S  marker symbol at (group-1 numbers 1, 2); the class's MODE is the
//      symbol number; gh0 > 0 is the symbol's width in mm, else 2 mm.
//   T  text at (group-1 numbers 1, 2), gh0 its character height in mm; the
//      text follows the y field: from column 30 (narrow: 28) on, without
//      its leading and trailing blanks.
// gh0 of P and R is the height of the feature and is not drawn.
//
// Areas are filled (IPAT < 0) or hatched (IPAT > 0) after being cut to the
// window as polygons; every outline and line is cut as a curve, so the
// window border is never drawn as part of a feature. A draft (DRAFT) has
// outlines only. PEN > 0 is the caller's pen for the background: it stands
// in for pen 1 of the classes; a class with pen 0 is not drawn.
//
// A series of more points than the buffers hold is left out with a warning
// naming its first line; the rest of the map is drawn.
//
// The map is drawn under the picture and its legend after the picture's
// own legend lines: LESDIG can leave the legend to background_legend.
//
// With the info switch the reading format is shown and every series or
// feature is listed with its first line and its number of points.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mapelements/background.h"
#include "mapelements/clipping.h"
#include "mapelements/legend.h"
#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/text.h"
#include "velin/velin.h"

namespace mapelements {

namespace {

constexpr char ROUTINE[] = "LESDIG";
constexpr float kVersion = 1.0f;
constexpr std::size_t kLineLength = 96;      // characters of a data line that count
// The most points of one series: far beyond any map, small enough that a
// runaway file cannot take the memory. The clipped copies grow with their
// input, so the crossings of the window border need no limit of their own.
// A longer series is left out.
constexpr std::size_t kMaxSeriesPoints = 1'000'000;
constexpr int kCirclePoints = 72;            // a circle cut by the window border
constexpr float kLegendFrame = 0.1f;         // mm, outline of an area's legend sample

// A field as an F edit descriptor with one decimal reads it: blanks do not
// count, a blank field is 0, a number without a decimal point has one
// implied decimal, an exponent may follow as E, D or a bare sign. Nothing
// when the field holds anything else.
std::optional<float> fixed_real(std::string_view field) {
    std::string s;
    for (char c : field)
        if (c != ' ' && c != '\t') s.push_back(c);
    if (s.empty()) return 0.0f;
    std::size_t p = 0;
    bool negative = false;
    if (s[p] == '+' || s[p] == '-') negative = s[p++] == '-';
    std::string mantissa;
    bool point = false, digits = false;
    for (; p < s.size(); ++p) {
        if (s[p] >= '0' && s[p] <= '9') {
            digits = true;
        } else if (s[p] == '.' && !point) {
            point = true;
        } else {
            break;
        }
        mantissa.push_back(s[p]);
    }
    if (!digits) return std::nullopt;
    long exponent = 0;
    if (p < s.size()) {
        if (s[p] == 'E' || s[p] == 'e' || s[p] == 'D' || s[p] == 'd') ++p;
        else if (s[p] != '+' && s[p] != '-') return std::nullopt;
        bool minus = false;
        if (p < s.size() && (s[p] == '+' || s[p] == '-')) minus = s[p++] == '-';
        if (p == s.size()) return std::nullopt;
        for (; p < s.size(); ++p) {
            if (s[p] < '0' || s[p] > '9') return std::nullopt;
            exponent = std::min(exponent * 10 + (s[p] - '0'), 1000L);
        }
        if (minus) exponent = -exponent;
    }
    if (!point) exponent -= 1;
    const std::string text = mantissa + "e" + std::to_string(exponent);
    double v = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(v) || std::fabs(v) > 3.0e38)
        return std::nullopt;
    return static_cast<float>(negative ? -v : v);
}

struct Record {
    float gh0 = 0.0f;
    std::array<float, 4> a{}, b{};  // numbers of the first and second group
};

// Column (1-based) of number k (1..4) of group g (1, 2).
std::size_t number_column(int g, int k, std::size_t w) {
    return 14 + static_cast<std::size_t>(g - 1) * (4 * w + 2) + static_cast<std::size_t>(k - 1) * w;
}

// The numbers that the form uses. Nothing when the line ends before the last
// field the form cannot do without (for P and R the first y), or when a field
// read is not a number; fields cut short by the line's end read as blank.
std::optional<Record> read_record(std::string_view line, char form, std::size_t w) {
    std::size_t needed = number_column(1, 2, w);
    int first_group = 4;
    const bool second_group = form == 'P' || form == 'R';
    if (second_group) needed = number_column(2, 1, w);
    else if (form == 'K') needed = number_column(1, 3, w);
    else if (form == 'T') first_group = 2;  // the text takes the rest of the line
    if (line.size() < needed) return std::nullopt;
    auto field = [&](std::size_t column, std::size_t length) {
        return fixed_real(column <= line.size() ? line.substr(column - 1, length) : std::string_view());
    };
    Record r;
    std::optional<float> v = field(2, 5);
    if (!v) return std::nullopt;
    r.gh0 = *v;
    for (int k = 1; k <= 4; ++k) {
        if (k <= first_group) {
            if (!(v = field(number_column(1, k, w), w))) return std::nullopt;
            r.a[static_cast<std::size_t>(k - 1)] = *v;
        }
        if (second_group) {
            if (!(v = field(number_column(2, k, w), w))) return std::nullopt;
            r.b[static_cast<std::size_t>(k - 1)] = *v;
        }
    }
    return r;
}

// The part of a data line that counts.
std::string_view counted(const std::string& line) {
    std::string_view s(line);
    if (!s.empty() && s.back() == '\r') s.remove_suffix(1);
    return s.substr(0, std::min(s.size(), kLineLength));
}

char column_of(std::string_view line, std::size_t column) { return column <= line.size() ? line[column - 1] : ' '; }

// The extent of the first n points of a series.
void VMINMAX(std::span<const float> x, std::span<const float> y, int n, float& xmin, float& xmax, float& ymin,
             float& ymax) {
    xmin = ymin = INFINITY;
    xmax = ymax = -INFINITY;
    for (std::size_t i = 0; i < static_cast<std::size_t>(std::max(n, 0)); ++i) {
        xmin = std::min(xmin, x[i]);
        xmax = std::max(xmax, x[i]);
        ymin = std::min(ymin, y[i]);
        ymax = std::max(ymax, y[i]);
    }
}

// Draws the parts of the curve that lie inside the clip window.
void VISCRV(std::span<const float> x, std::span<const float> y, int n) {
    if (n < 2) return;
    std::vector<float> xc, yc;
    std::vector<int> ips;
    int nc = 0;
    CUT_CRV(x, y, n, xc, yc, ips, nc);
    for (std::size_t k = 0; k < static_cast<std::size_t>(nc); ++k) {
        const std::size_t first = static_cast<std::size_t>(ips[k] - 1);
        const int count = ips[k + 1] - ips[k];
        if (count >= 2) velin::CURVE(std::span(xc).subspan(first), std::span(yc).subspan(first), count, 0);
    }
}

const char* form_name(char form, bool closed) {
    switch (form) {
        case 'P': return closed ? "Polygon g." : "Polygon o.";
        case 'R': return "Rechteck";
        case 'K': return "Kreis";
        case 'S': return "Symbol";
        default: return "Text";
    }
}

// A class with a blank legend text or one that starts with "!" has no entry.
bool has_legend_text(const BackgroundClass& c) {
    const std::string text = platform::trimmed(c.LDSC);
    return !text.empty() && !text.starts_with('!');
}

// The pen of a class: PEN > 0 stands in for pen 1, the background's own pen.
int pen_of(const BackgroundClass& c, int PEN) { return c.IPEN == 1 && PEN > 0 ? PEN : c.IPEN; }

bool drawn(const BackgroundClass& c, int PEN) {
    return pen_of(c, PEN) > 0 && std::string_view("PRKST").find(c.form) != std::string_view::npos;
}

class Drawing {
public:
    Drawing(const BackgroundDefinition& bg, bool draft, int pen) : bg_(bg), draft_(draft), pen_(pen) {
        const velin::PlotState& st = velin::plot_state();
        thickness_ = velin::CURTHK();
        scale_ = st.s.picture_scale;
        height_ = velin::TXTHEI();
    }

    int pen_of(const BackgroundClass& c) const { return mapelements::pen_of(c, pen_); }
    bool drawn(const BackgroundClass& c) const { return mapelements::drawn(c, pen_); }

    void run(bool with_legend) {
        const std::vector<std::string>& lines = bg_.data;
        std::size_t first = 0;
        while (first < lines.size() && column_of(counted(lines[first]), 20) == ' ') ++first;
        if (first < lines.size()) {
            const std::size_t w = column_of(counted(lines[first]), 19) == '.' ? 7 : 8;
            if (bg_.info) platform::console().line(" Einleseformat: (f5.1,5x,2(2x,4f" + std::to_string(w) + ".1))");
            for (std::size_t i = first; i < lines.size(); ++i) record(counted(lines[i]), static_cast<int>(i + 1), w);
            end_series(false);
        }
        if (with_legend) legend();
        restore();
    }

    // The headings, then one entry per drawn class with a legend text.
    void legend() const {
        const LegendState& leg = RRLEGP();
        if (leg.LEVEL < 1 || legend_switched_off()) return;
        if (bg_.ZHLEG > 0.0f) {
            LEGHEI(bg_.ZHLEG);
            velin::HEIGHT(bg_.ZHLEG);
        }
        // Headings in the legend's own pen, not in that of the last feature.
        velin::SELPEN(1);
        for (const std::string& h : bg_.headings) {
            const std::string text = platform::trimmed(h);
            LEGHEAD(text, static_cast<int>(text.size()), 'C');
        }
        for (const BackgroundClass& c : bg_.classes) {
            if (!drawn(c) || !has_legend_text(c)) continue;
            const std::string text = platform::trimmed(c.LDSC);
            const int pen = pen_of(c);
            const bool area = c.IPAT != 0 && !draft_;
            if (c.form == 'T') LEGENT("Lin", 0, 0, 0.0f, text, "");
            else if (c.form == 'S') LEGENT("Sym", pen, c.MODE >= 1 ? c.MODE : 1, 1.0f, text, "");
            else if (c.form == 'K') LEGENT("Kreis", pen, area ? (c.IPAT < 0 ? 90000 : c.IPAT) : 0, c.DICK, text, "");
            else if (area) LEGENT("Pat", pen, std::max(c.IPAT, 0), std::max(c.DICK, kLegendFrame), text, "");
            else LEGENT("Lin", pen, c.MODE, c.DICK, text, "");
        }
    }

    void restore() const {
        velin::PlotState& st = velin::plot_state();
        if (font_loaded_ && !style_.empty()) {
            velin::LODSTY(style_);
            st.style_sign = sign_;
        }
        velin::SELPEN(1);
        velin::RESET("dash");
        velin::THKCRV(thickness_);
        velin::SCLPIC(scale_);
        velin::HEIGHT(height_);
    }

private:
    const BackgroundClass* class_of(char id) const {
        for (const BackgroundClass& c : bg_.classes)
            if (c.id == id) return &c;
        return nullptr;
    }

    void record(std::string_view line, int number, std::size_t w) {
        const char id = column_of(line, 1);
        if (id == '!') return end_series(true);
        const BackgroundClass* c = class_of(id);
        if (c == nullptr) return;
        if (series_class_ != nullptr && series_class_ != c) end_series(false);
        if (!drawn(*c)) return;
        const std::optional<Record> r = read_record(line, c->form, w);
        if (!r) {
            platform::fatal(ROUTINE, "Zeile " + std::to_string(number) + " nicht interpretierbar >>" +
                                         platform::to_utf8(line) + "<<");
        }
        // Plot coordinates: the map's real coordinates (with the offsets)
        // relative to the point that the plot's user origin stands for, in
        // double, where a float would lose decimetres.
        const double rw = bg_.RW - velin::user_origin_x();
        const double hw = bg_.HW - velin::user_origin_y();
        auto X = [rw](float a) { return static_cast<float>(a + rw); };
        auto Y = [hw](float b) { return static_cast<float>(b + hw); };
        switch (c->form) {
            case 'P': {
                if (series_class_ == nullptr) {
                    series_class_ = c;
                    series_line_ = number;
                }
                if (too_long_) return;
                if (x_.size() + 4 > kMaxSeriesPoints) {
                    platform::console().line(" LESDIG-W-Koordinatenreihe ab Zeile " + std::to_string(series_line_) +
                                             " (Kennung " + platform::to_utf8(std::string(1, c->id)) +
                                             ") hat mehr als " + std::to_string(kMaxSeriesPoints) +
                                             " Punkte - nicht gezeichnet");
                    too_long_ = true;
                    return;
                }
                // Points (0, 0) at the end of a record fill its columns; they
                // are left out once the record turns out to be the series' last.
                trailing_zeros_ = 0;
                for (std::size_t k = 0; k < 4; ++k) {
                    x_.push_back(X(r->a[k]));
                    y_.push_back(Y(r->b[k]));
                    trailing_zeros_ = r->a[k] == 0.0f && r->b[k] == 0.0f ? trailing_zeros_ + 1 : 0;
                }
                return;
            }
            case 'R': {
                std::vector<float> x, y;
                for (std::size_t k = 0; k <= 4; ++k) {
                    x.push_back(X(r->a[k % 4]));
                    y.push_back(Y(r->b[k % 4]));
                }
                list(*c, number, false, 4);
                feature(*c, x, y, true);
                return;
            }
            case 'K':
                list(*c, number, false, 1);
                return circle(*c, X(r->a[0]), Y(r->a[1]), r->a[2]);
            case 'S':
                list(*c, number, false, 1);
                return symbol(*c, X(r->a[0]), Y(r->a[1]), r->gh0);
            default:
                list(*c, number, false, 1);
                return text(LDNAME(line, w), X(r->a[0]), Y(r->a[1]), r->gh0, *c);
        }
    }

    // A series ends with a "!" line, the next record of another class or the
    // end of the file; the latter two are reported.
    void end_series(bool terminated) {
        if (series_class_ == nullptr) return;
        if (!terminated) platform::console().line(" LESDIG-W-Ende einer Koordinatenreihe nicht mit !-Kennung");
        const BackgroundClass& c = *series_class_;
        if (too_long_) {
            series_class_ = nullptr;
            too_long_ = false;
            trailing_zeros_ = 0;
            x_.clear();
            y_.clear();
            return;
        }
        x_.resize(x_.size() - trailing_zeros_);
        y_.resize(y_.size() - trailing_zeros_);
        const std::size_t n = x_.size();
        bool closed = n >= 3 && x_.back() == x_.front() && y_.back() == y_.front();
        list(c, series_line_, closed, static_cast<int>(n));
        if (!closed && n >= 3 && c.IPAT != 0) {
            x_.push_back(x_.front());
            y_.push_back(y_.front());
            closed = true;
        }
        feature(c, x_, y_, closed);
        series_class_ = nullptr;
        trailing_zeros_ = 0;
        x_.clear();
        y_.clear();
    }

    // With the info switch, one line per series or feature (per physical
    // line the console would drown in a large map).
    void list(const BackgroundClass& c, int number, bool closed, int points) const {
        if (!bg_.info) return;
        std::string name = form_name(c.form, closed);
        name.resize(10, ' ');
        platform::console().line(" Zeile:" + platform::integer(number, 6) + "  " +
                                 platform::to_utf8(std::string(1, c.id)) + "  " + name + "  Punkte:" +
                                 platform::integer(points, 6));
    }

    bool outside(float xmin, float xmax, float ymin, float ymax) const {
        return xmin > bg_.xmax || xmax < bg_.xmin || ymin > bg_.ymax || ymax < bg_.ymin;
    }

    void begin(const BackgroundClass& c) const {
        velin::SELPEN(pen_of(c));
        velin::THKCRV(c.DICK > 0.0f ? c.DICK : 0.0f);
    }

    void line_type(int mode) const {
        if (mode == 1) velin::DASH();
        else if (mode == 2) velin::DOT();
        else if (mode == 3) velin::CHNDSH();
    }

    // An area or a line: the fill or hatching of the part inside the window
    // first, then the visible parts of the outline.
    void feature(const BackgroundClass& c, std::span<const float> x, std::span<const float> y, bool closed) const {
        const int n = static_cast<int>(x.size());
        if (n < 2) return;
        float xmin, xmax, ymin, ymax;
        VMINMAX(x, y, n, xmin, xmax, ymin, ymax);
        if (outside(xmin, xmax, ymin, ymax)) return;
        begin(c);
        if (closed && n >= 4 && c.IPAT != 0 && !draft_) {
            std::vector<float> xc, yc;
            int nc = 0;
            CUT_POL(x, y, n, xc, yc, nc);
            if (nc >= 3 && c.IPAT < 0) {
                velin::FILPOL(xc, yc, nc);
            } else if (nc >= 3) {
                velin::SHDPAT(c.IPAT);
                velin::SHDCRV(xc, yc, nc, xc, yc, 0);
            }
        }
        line_type(c.MODE);
        VISCRV(x, y, n);
        if (c.MODE >= 1 && c.MODE <= 3) velin::RESET("dash");
    }

    // A solid circle wholly inside the window is the device's circle; a
    // patterned one, or one that the border cuts, an area of kCirclePoints.
    void circle(const BackgroundClass& c, float xm, float ym, float r) const {
        if (!(r > 0.0f) || outside(xm - r, xm + r, ym - r, ym + r)) return;
        if (c.MODE == 0 && xm - r >= bg_.xmin && xm + r <= bg_.xmax && ym - r >= bg_.ymin && ym + r <= bg_.ymax) {
            begin(c);
            const float x = velin::XPOSN(xm, ym), y = velin::YPOSN(xm, ym);
            const float radius = std::fabs(velin::XPOSN(xm + r, ym) - x);
            const int pattern = draft_ || c.IPAT == 0 ? 0 : (c.IPAT < 0 ? 90000 : c.IPAT);
            velin::CIRCLE(x, y, radius, pattern);
            return;
        }
        std::vector<float> x, y;
        for (int i = 0; i <= kCirclePoints; ++i) {
            const double a = 2.0 * 3.14159265358979 * (i % kCirclePoints) / kCirclePoints;
            x.push_back(xm + r * static_cast<float>(std::cos(a)));
            y.push_back(ym + r * static_cast<float>(std::sin(a)));
        }
        feature(c, x, y, true);
    }

    bool inside(float x, float y) const { return x >= bg_.xmin && x <= bg_.xmax && y >= bg_.ymin && y <= bg_.ymax; }

    void symbol(const BackgroundClass& c, float x, float y, float gh0) const {
        if (!inside(x, y)) return;
        begin(c);
        velin::SCLPIC(gh0 > 0.0f ? 0.5f * gh0 : 1.0f);
        velin::MARKER(c.MODE >= 1 ? c.MODE : 1);
        const float px[1] = {x}, py[1] = {y};
        velin::CURVE(px, py, 1, -1);
    }

    // Texts are placed by their point, which must lie in the window; their
    // strokes are cut by the plot area.
    void text(const std::string& name, float x, float y, float gh0, const BackgroundClass& c) {
        if (name.empty() || !(gh0 > 0.0f) || !inside(x, y)) return;
        velin::PlotState& st = velin::plot_state();
        if (!font_loaded_) {
            style_ = st.style_name;
            sign_ = st.style_sign;
            velin::LODSTY("SWISSL");
            font_loaded_ = true;
        }
        begin(c);
        velin::HEIGHT(gh0);
        const int n = static_cast<int>(name.size());
        const float width = velin::XMESS(name, n);
        float xm = velin::XPOSN(x, y);
        if (bg_.arrangement == 2) xm -= 0.5f * width;
        else if (bg_.arrangement == 0) xm -= width;
        velin::MESSAG(name, n, xm, velin::YPOSN(x, y));
    }

    const BackgroundDefinition& bg_;
    const bool draft_;
    const int pen_;
    // The series being gathered.
    const BackgroundClass* series_class_ = nullptr;
    int series_line_ = 0;
    std::size_t trailing_zeros_ = 0;
    bool too_long_ = false;  // left out: more points than the buffers hold
    std::vector<float> x_, y_;
    // Settings put back at the end.
    float thickness_ = 0.0f, scale_ = 1.0f, height_ = 2.0f;
    bool font_loaded_ = false;
    std::string style_;
    int sign_ = 0;
};

}  // namespace

std::string LDNAME(std::string_view line, std::size_t w) {
    // The text starts after the y field, the second number of group 1.
    const std::size_t from = number_column(1, 3, w) - 1;
    const std::size_t start = line.size() > from ? line.find_first_not_of(" \t", from) : std::string_view::npos;
    return start == std::string_view::npos ? std::string() : platform::trimmed(line.substr(start));
}

void background_legend_lines(int PEN, int& headings, int& entries) {
    const BackgroundDefinition& bg = background();
    headings = entries = 0;
    if (std::none_of(bg.classes.begin(), bg.classes.end(), [&](const BackgroundClass& c) { return drawn(c, PEN); }))
        return;
    headings = static_cast<int>(bg.headings.size());
    for (const BackgroundClass& c : bg.classes)
        if (drawn(c, PEN) && has_legend_text(c)) ++entries;
}

void LESDIG(bool DRAFT, int PEN, bool with_legend) {
    auto& con = platform::console();
    con.line(" - LESDIG - V" + platform::fixed(kVersion, 4, 2));
    const BackgroundDefinition& bg = background();
    Drawing drawing(bg, DRAFT, PEN);
    if (std::none_of(bg.classes.begin(), bg.classes.end(),
                     [&](const BackgroundClass& c) { return drawing.drawn(c); })) {
        con.line(" - keine darzustellenden Kennungen selektiert!");
        return;
    }
    con.line(" LESDIG-I-Zeichnungselemente am Rand abschneiden");
    set_clip_window(bg.xmin, bg.xmax, bg.ymin, bg.ymax);
    drawing.run(with_legend);
    background().legend_due = !with_legend;
}

void background_legend(bool DRAFT, int PEN) {
    BackgroundDefinition& bg = background();
    if (!bg.legend_due) return;
    bg.legend_due = false;
    Drawing drawing(bg, DRAFT, PEN);
    drawing.legend();
    drawing.restore();
}

}  // namespace mapelements
