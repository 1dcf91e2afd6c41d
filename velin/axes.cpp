// Graph start, axes with ticks, numbers and names, headings and frames.
//
// An axis runs from its minimum in steps to its maximum: a tick at every
// step whose predecessor lies at least one step (less a thousandth of it)
// below the maximum; when the last tick falls short of the maximum, the axis
// line goes on without a tick. Ticks are 1 % of the longer axis, outwards
// unless reversed; a tick count of 0 draws none. Minor ticks (0.6 of that)
// divide a step linearly, or at log10(j/n) within a decade on a logarithmic
// axis.
#include <algorithm>
#include <cmath>
#include <string>

#include "velin/internal.h"
#include "velin/velin.h"

namespace velin {

namespace {

// More ticks than this would be a black bar, not an axis.
constexpr float MAX_TICKS = 10000.0f;

void check_step(std::string_view routine, float min, float step, float max) {
    float ticks = (max - min) / step;
    if (!std::isfinite(ticks) || ticks < 0.0f || ticks > MAX_TICKS)
        detail::fail(routine, "Schrittweite passt nicht zum Bereich");
}

void headings() {
    PlotState& st = plot_state();
    DrawSettings& s = st.s;
    float height = s.text_height;
    float baseline = s.axis_y + height;
    for (auto it = s.headings.rbegin(); it != s.headings.rend(); ++it) {
        if (it->text.empty()) continue;
        if (it->factor != 1000) HEIGHT(height * static_cast<float>(it->factor) / 1000.0f);
        baseline += 1.5f * s.text_height;
        int n = LANTXT(it->text, 100000);
        float w = XMESS(it->text, n);
        MESSAG(it->text, n, (s.axis_x - w) / 2.0f, baseline);
        HEIGHT(height);
    }
}

void graf(std::string_view routine, float XMIN, float XSTP, float XMAX, float YMIN, float YSTP, float YMAX) {
    PlotState& st = plot_state();
    DrawSettings& s = st.s;
    if (st.Level != 2) detail::fail(routine, "von falschem Level aufgerufen");
    st.Level = 3;
    detail::graph_start();
    if (XMAX - XMIN == 0.0f) detail::fail(routine, "XMin und XMax gleich");
    if (YMAX - YMIN == 0.0f) detail::fail(routine, "YMin und YMax gleich");
    check_step(routine, XMIN, XSTP, XMAX);
    check_step(routine, YMIN, YSTP, YMAX);
    s.FumX = s.axis_x / (XMAX - XMIN);
    s.FumY = s.axis_y / (YMAX - YMIN);
    s.xaxis.min = XMIN;
    s.xaxis.step = XSTP;
    s.xaxis.max = XMAX;
    s.yaxis.min = YMIN;
    s.yaxis.step = YSTP;
    s.yaxis.max = YMAX;
    float cx = 0.0f, cy = 0.0f;
    if (s.cross) UU2MM(0.0f, 0.0f, cx, cy);
    detail::draw_axis(true, s.xaxis, s.LogX, s.axis_x, 0.0f, cy, s.FumX);
    detail::draw_axis(false, s.yaxis, s.LogY, s.axis_y, cx, 0.0f, s.FumY);
    headings();
}

// Common logarithms of a logarithmic axis; all three must be positive.
void take_logs(std::string_view routine, float& min, float& step, float& max) {
    if (!(min > 0.0f) || !(step > 0.0f) || !(max > 0.0f)) detail::fail(routine, "LOG(0) undefined");
    min = std::log10(min);
    step = std::log10(step);
    max = std::log10(max);
}

void rrwind_hpgl2(float X1, float X2, float Y1, float Y2, float THK) {
    detail::apply_width(THK);
    detail::apply_line_type();
    PENUP(X1, Y1);
    detail::emit_PM(0);
    INSXY(X2, Y1, 1);
    INSXY(X2, Y2, 1);
    INSXY(X1, Y2, 1);
    detail::emit_PM(2);
    detail::emit_EP();
}

}  // namespace

float axis_step(float range, int parts) {
    if (!(range > 0.0f) || !std::isfinite(range) || parts < 1) return 1.0f;
    const double raw = static_cast<double>(range) / parts;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double unit = raw / power;  // 1 <= unit < 10
    const double step = unit < 1.5 ? 1.0 : unit < 3.5 ? 2.0 : unit < 7.5 ? 5.0 : 10.0;
    return static_cast<float>(step * power);
}

namespace detail {

void graph_start() {
    PlotState& st = plot_state();
    DrawSettings& s = st.s;
    if (st.dev.fclose) FOPEN();
    message_line(" ## Plot" + fmt_int(st.Iplot, 3) + " begonnen");
    message_line(" ## Ausgabedatei ist " + st.plt_file);
    message_line(" ## Lage des Nullpunkts=" + fmt_fixed(s.origin_x, 8, 1) + " mm" + fmt_fixed(s.origin_y, 8, 1) + " mm");
    message_line(" ## Achsenabmessungen  =" + fmt_fixed(s.axis_x, 8, 1) + " mm" + fmt_fixed(s.axis_y, 8, 1) + " mm");
    st.IXorg = 0;
    st.IYorg = 0;
    int ox, oy;
    MM2ABS(s.origin_x, s.origin_y, ox, oy);
    st.IXorg = ox;
    st.IYorg = oy;
    int p1x, p1y, p2x, p2y;
    MM2ABS(-40.0f, -40.0f, p1x, p1y);
    MM2ABS(s.axis_x + 40.0f, s.axis_y + 40.0f, p2x, p2y);
    emit_IP(p1x, p1y, p2x, p2y);
    if (!st.PSCMD.empty()) INSBU(st.PSCMD);
    if (st.NPpal < 0) SETPAL("*", "*");
}

namespace {

// The unnumbered ticks of length t: axis.ticks - 1 in each step.
template <typename Move, typename Draw>
void minor_ticks(const AxisSettings& axis, bool logarithmic, float fum, float t, Move move, Draw draw) {
    const float min = axis.min, step = axis.step, max = axis.max;
    const float tolerance = 0.001f * std::fabs(step);
    const int n = axis.ticks;
    for (int k = 0; min + static_cast<float>(k) * step < max - tolerance; ++k) {
        float base = min + static_cast<float>(k) * step;
        for (int j = 1; j < n; ++j) {
            float v = logarithmic ? base + step + std::log10(static_cast<float>(j) / static_cast<float>(n))
                                  : base + static_cast<float>(j) * step / static_cast<float>(n);
            if (v > max + tolerance) break;
            float pos = (v - min) * fum;
            move(pos, 0.0f);
            draw(pos, t);
        }
    }
}

}  // namespace

void draw_axis(bool x_axis, const AxisSettings& axis, bool logarithmic, float length, float x0, float y0, float fum) {
    PlotState& st = plot_state();
    DrawSettings& s = st.s;
    const float min = axis.min, step = axis.step, max = axis.max;
    float t = 0.01f * std::max(s.axis_x, s.axis_y);
    if (axis.reversed_ticks) t = -t;
    // Without ticks the tick length still sets the numbers' distance; no pen-down step in place.
    const bool ticks = axis.ticks > 0;
    if (!ticks) t = 0.0f;
    // A point `along` the axis and `across` it (negative across = the tick side).
    auto at = [&](float along, float across, float& x, float& y) {
        x = x_axis ? x0 + along : x0 - across;
        y = x_axis ? y0 - across : y0 + along;
    };
    auto move = [&](float along, float across) {
        float x, y;
        at(along, across, x, y);
        PENUP(x, y);
    };
    auto draw = [&](float along, float across) {
        float x, y;
        at(along, across, x, y);
        PENDN(x, y);
    };

    // Linear axes number the real coordinates of a graph drawn relative to a point.
    const double origin = logarithmic || s.absolute_numbers ? 0.0 : (x_axis ? s.user_origin_x : s.user_origin_y);
    std::string fmt;
    if (axis.integer_numbers) fmt = "(I10)";
    else if (logarithmic) fmt = "(1PE10.1)";
    else GETFMT(static_cast<float>(min + origin), step, static_cast<float>(max + origin), fmt);
    const float full_height = s.text_height, saved_angle = s.text_angle;
    ANGLE(0.0f);
    HEIGHT(0.8f * full_height);
    const float h = s.text_height;
    const float shift = axis.centred ? 0.5f * step * fum : 0.0f;
    const float gap = 1.1f * XMESS(" ", 1);
    const float offset = axis.other_side ? 0.3f * h + std::fabs(t) : -std::fabs(t) - 1.5f * h;
    const float small = x_axis ? 0.0001f : 0.00001f;
    float widest = 0.0f;
    auto number = [&](float v, float pos) {
        if (s.absolute_numbers && std::fabs(v) < small) return;
        double value = logarithmic ? static_cast<double>(std::pow(10.0f, v)) : origin + v;
        if (s.absolute_numbers) value = std::fabs(value);
        const std::string text = detail::number_text(value, fmt);
        const int n = static_cast<int>(text.size());
        float w = XMESS(text, n);
        if (x_axis) {
            MESSAG(text, n, x0 + pos + shift - w / 2.0f, y0 + offset);
        } else {
            widest = std::max(widest, w);
            float x = axis.other_side ? x0 + std::fabs(t) + gap : x0 - w - gap - t;
            MESSAG(text, n, x, y0 + pos + shift - h / 2.0f);
        }
    };

    move(0.0f, 0.0f);
    if (ticks) draw(0.0f, t);
    if (!axis.no_numbers && !axis.no_first) number(min, 0.0f);
    float previous = min, previous_pos = 0.0f;
    const float tolerance = 0.001f * std::fabs(step);
    for (int k = 1; previous <= max - step + tolerance; ++k) {
        float v = min + static_cast<float>(k) * step;
        float pos = (v - min) * fum;
        move(previous_pos, 0.0f);
        draw(pos, 0.0f);
        if (ticks) draw(pos, t);
        if (!axis.no_numbers) {
            bool last = std::fabs(v - max) < 0.001f;
            if (!(last && (axis.no_last || axis.centred))) number(v, pos);
        }
        previous = v;
        previous_pos = pos;
    }
    if ((max - previous) / step > 0.001f) {
        move(previous_pos, 0.0f);
        draw(length, 0.0f);
    }
    if (axis.ticks > 1) minor_ticks(axis, logarithmic, fum, 0.6f * t, move, draw);

    HEIGHT(full_height);
    if (!axis.name.empty() && axis.name[0] != ' ') {
        int n = LANTXT(axis.name, 100000);
        float w = XMESS(axis.name, n);
        if (x_axis) {
            float y = axis.other_side ? y0 + 2.5f * full_height : y0 - 3.5f * full_height;
            MESSAG(axis.name, n, x0 + (length - w) / 2.0f, y);
        } else {
            widest = std::max(widest, 3.0f * h);
            float x = axis.other_side ? x0 + widest + 1.6f * gap + full_height : x0 - widest - 1.6f * gap - full_height;
            if (n > 1) ANGLE(90.0f);
            MESSAG(axis.name, n, x, y0 + (length - w) / 2.0f);
        }
    }
    ANGLE(x_axis ? saved_angle : 0.0f);
}

}  // namespace detail

void GRAF(float XMIN, float XSTP, float XMAX, float YMIN, float YSTP, float YMAX) {
    DrawSettings& s = plot_state().s;
    s.ITrans = 0;
    s.LogX = s.LogY = false;
    s.absolute_numbers = false;
    graf("GRAF", XMIN, XSTP, XMAX, YMIN, YSTP, YMAX);
}

void GRAFRR(float XMIN, float XSTP, float XMAX, float YMIN, float YSTP, float YMAX) {
    graf("GRAF", XMIN, XSTP, XMAX, YMIN, YSTP, YMAX);
}

void LOGLOG(float XMIN, float XSTP, float XMAX, float YMIN, float YSTP, float YMAX) {
    take_logs("XLOG", XMIN, XSTP, XMAX);
    take_logs("YLOG", YMIN, YSTP, YMAX);
    DrawSettings& s = plot_state().s;
    s.ITrans = 0;
    s.LogX = s.LogY = true;
    s.absolute_numbers = false;
    GRAFRR(XMIN, XSTP, XMAX, YMIN, YSTP, YMAX);
    s.ITrans = 2;
}

void XLOG(float XMIN, float XSTP, float XMAX, float YMIN, float YSTP, float YMAX) {
    take_logs("XLOG", XMIN, XSTP, XMAX);
    DrawSettings& s = plot_state().s;
    s.ITrans = 0;
    s.LogX = true;
    s.LogY = false;
    s.absolute_numbers = false;
    GRAFRR(XMIN, XSTP, XMAX, YMIN, YSTP, YMAX);
    s.ITrans = 3;
}

void YLOG(float XMIN, float XSTP, float XMAX, float YMIN, float YSTP, float YMAX) {
    take_logs("YLOG", YMIN, YSTP, YMAX);
    DrawSettings& s = plot_state().s;
    s.ITrans = 0;
    s.LogX = false;
    s.LogY = true;
    s.absolute_numbers = false;
    GRAFRR(XMIN, XSTP, XMAX, YMIN, YSTP, YMAX);
    s.ITrans = 4;
}

void RPOLAR(float A, float B) {
    // A polar graph of radius A with rings of B: both axes from -A to A,
    // crossing at the pole, numbered with absolute values.
    DrawSettings& s = plot_state().s;
    CROSS();
    s.ITrans = 0;
    s.LogX = s.LogY = false;
    s.absolute_numbers = true;
    float r = std::fabs(A);
    GRAFRR(-r, B, r, -r, B, r);
    s.ITrans = 1;
}

void XGRAXS(float XMIN, float XSTP, float XMAX, float XAXLEN, std::string_view NAME, int N, float X0, float Y0) {
    constexpr char ROUTINE[] = "XGRAXS";
    PlotState& st = plot_state();
    DrawSettings& s = st.s;
    if (st.Level != 3) detail::fail(ROUTINE, "von falschem Level aufgerufen");
    s.ITrans = 0;
    s.LogX = false;
    XNAME(NAME, N);
    if (XMAX - XMIN == 0.0f) detail::fail(ROUTINE, "Xmin und Xmax gleich?");
    check_step(ROUTINE, XMIN, XSTP, XMAX);
    s.FumX = XAXLEN / (XMAX - XMIN);
    s.xaxis.min = XMIN;
    s.xaxis.step = XSTP;
    s.xaxis.max = XMAX;
    detail::draw_axis(true, s.xaxis, false, XAXLEN, X0, Y0, s.FumX);
}

void YGRAXS(float YMIN, float YSTP, float YMAX, float YAXLEN, std::string_view NAME, int N, float X0, float Y0) {
    constexpr char ROUTINE[] = "YGRAXS";
    PlotState& st = plot_state();
    DrawSettings& s = st.s;
    if (st.Level != 3) detail::fail(ROUTINE, "von falschem Level aufgerufen");
    s.ITrans = 0;
    s.LogY = false;
    YNAME(NAME, N);
    if (YMAX - YMIN == 0.0f) detail::fail(ROUTINE, "Ymin und Ymax gleich?");
    check_step(ROUTINE, YMIN, YSTP, YMAX);
    s.FumY = YAXLEN / (YMAX - YMIN);
    s.yaxis.min = YMIN;
    s.yaxis.step = YSTP;
    s.yaxis.max = YMAX;
    detail::draw_axis(false, s.yaxis, false, YAXLEN, X0, Y0, s.FumY);
}

void FRAME() {
    const DrawSettings& s = plot_state().s;
    RRWIND(0.0f, s.axis_x, 0.0f, s.axis_y, s.frame_thickness);
}

void THKFRM(float T) { plot_state().s.frame_thickness = T; }

void RRWIND(float X1, float X2, float Y1, float Y2, float THK) {
    const PlotState& st = plot_state();
    if (st.hpgl2) {
        rrwind_hpgl2(X1, X2, Y1, Y2, THK);
        return;
    }
    float x[5] = {X1, X2, X2, X1, X1}, y[5] = {Y1, Y1, Y2, Y2, Y1};
    if (THK > st.pthk[static_cast<std::size_t>(st.ipen)]) BIGLIN(x, y, 5, THK);
    else detail::draw_polyline(x, y);
}

}  // namespace velin
