// Plot area, physical origin, axis options and names, headings, and the
// transforms between user units and millimetres (linear, polar, logarithmic)
// that every drawing routine uses.
#include <algorithm>
#include <cmath>
#include <string>

#include "velin/internal.h"
#include "velin/velin.h"

namespace velin {

namespace {

void set_name(AxisSettings& axis, std::string_view TEXT, int N) {
    axis.other_side = N < 0;
    int n = std::min(LANTXT(TEXT, std::abs(N)), 80);
    axis.name = detail::cut_text(TEXT, n);
}

void set_axis_end(AxisSettings& axis, std::string_view routine, std::string_view OPT) {
    std::string opt;
    for (char c : OPT.substr(0, 4)) opt += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (opt == "nofi") axis.no_first = true;
    else if (opt == "nola") axis.no_last = true;
    else if (opt == "noen") axis.no_first = axis.no_last = true;
    else VLERROR(std::string(routine) + "-W-ungültige Option " + std::string(OPT));
}

float to_mm(float u, float min, float fum) { return (u - min) * fum; }

}  // namespace

void AREA2D(float XAX, float YAX) {
    constexpr char ROUTINE[] = "AREA2D";
    PlotState& st = plot_state();
    if (st.Level == 0 && st.initialised) {
        // A new plot of the same run begins with the device initialisation
        // again; the initialisation resets the device's colours, so the
        // palette and pen colours sent before follow it.
        detail::emit_init_string();
        if (!st.colour_setup.empty()) INSBU(st.colour_setup);
        st.Level = 1;
    }
    if (st.Level != 1) detail::fail(ROUTINE, "von falschem Level aufgerufen");
    st.Level = 2;
    st.s.axis_x = XAX;
    st.s.axis_y = YAX;
    if (!(XAX > 0.0f) || !(YAX > 0.0f) || !std::isfinite(XAX) || !std::isfinite(YAX))
        detail::fail(ROUTINE, "xax,yax falsch");
    GRACE(40.0f);
}

void PHYSOR(float X, float Y) {
    plot_state().s.origin_x = X;
    plot_state().s.origin_y = Y;
}

void OREL(float DX, float DY) {
    plot_state().s.origin_x += DX;
    plot_state().s.origin_y += DY;
}

void XNAME(std::string_view TEXT, int N) { set_name(plot_state().s.xaxis, TEXT, N); }
void YNAME(std::string_view TEXT, int N) { set_name(plot_state().s.yaxis, TEXT, N); }
void ZNAME(std::string_view TEXT, int N) { set_name(plot_state().s.zaxis, TEXT, N); }

void HEADIN(std::string_view TEXT, int N, float HFAK, int NLINES) {
    PlotState& st = plot_state();
    DrawSettings& s = st.s;
    if (st.Level >= 3) {
        VLERROR("HEADIN-W-von falschem Level aufgerufen");
        return;
    }
    s.Nhead += 1;
    if (NLINES > 3) VLERROR("HEADIN-W-max. 3 Zeilen");
    if (s.Nhead > std::min(NLINES, 3)) detail::fail("HEADIN", "zuviele HEADIN-Aufrufe");
    int n = std::min(LANTXT(TEXT, N), 80);
    float factor = std::isfinite(HFAK) ? std::clamp(HFAK, 0.0f, 1000.0f) : 1.0f;
    s.headings.push_back({detail::cut_text(TEXT, n), static_cast<int>(1000.0f * factor)});
}

void XTICKS(int N) { plot_state().s.xaxis.ticks = std::max(N, 0); }
void YTICKS(int N) { plot_state().s.yaxis.ticks = std::max(N, 0); }
void ZTICKS(int N) { plot_state().s.zaxis.ticks = std::max(N, 0); }
void XAXANG(float A) { plot_state().s.xaxis.angle = A; }
void YAXANG(float A) { plot_state().s.yaxis.angle = A; }
void ZAXANG(float A) { plot_state().s.zaxis.angle = A; }
void XAXCTR() { plot_state().s.xaxis.centred = true; }
void YAXCTR() { plot_state().s.yaxis.centred = true; }
void XNONUM() { plot_state().s.xaxis.no_numbers = true; }
void YNONUM() { plot_state().s.yaxis.no_numbers = true; }
void XREVTK() { plot_state().s.xaxis.reversed_ticks = true; }
void YREVTK() { plot_state().s.yaxis.reversed_ticks = true; }
void INTAXS() { plot_state().s.xaxis.integer_numbers = plot_state().s.yaxis.integer_numbers = true; }
void XINTAX() { plot_state().s.xaxis.integer_numbers = true; }
void YINTAX() { plot_state().s.yaxis.integer_numbers = true; }
void XAXEND(std::string_view OPT) { set_axis_end(plot_state().s.xaxis, "XAXEND", OPT); }
void YAXEND(std::string_view OPT) { set_axis_end(plot_state().s.yaxis, "YAXEND", OPT); }
void CROSS() { plot_state().s.cross = true; }
void SCLPIC(float F) { plot_state().s.picture_scale = F; }

void SPECIAL(std::string_view TEXT, int N) {
    int n = LANTXT(TEXT, N);
    INSBU(detail::cut_text(TEXT, n));
}

void UU2MM(float XU, float YU, float& XMM, float& YMM) {
    const DrawSettings& s = plot_state().s;
    float x = XU, y = YU;
    switch (s.ITrans) {
        case 1: {
            float a = XU * plot_state().PiFa;
            x = YU * std::cos(a);
            y = YU * std::sin(a);
            break;
        }
        case 2:
            x = std::log10(XU);
            y = std::log10(YU);
            break;
        case 3: x = std::log10(XU); break;
        case 4: y = std::log10(YU); break;
        default: break;
    }
    XMM = to_mm(x, s.xaxis.min, s.FumX);
    YMM = to_mm(y, s.yaxis.min, s.FumY);
}

float XPOSN(float XU, float YU) {
    float x, y;
    UU2MM(XU, YU, x, y);
    return x;
}

float YPOSN(float XU, float YU) {
    float x, y;
    UU2MM(XU, YU, x, y);
    return y;
}

void VECU2M(std::span<const float> XU, std::span<const float> YU, int N) {
    detail::check_points("VECU2M", N, std::min(XU.size(), YU.size()));
    PlotState& st = plot_state();
    if (N < 1) {
        st.work_used = 0;
        return;
    }
    detail::ensure_work(N, "VECU2M");
    const DrawSettings& s = st.s;
    float* wx = st.work_x.data();
    float* wy = st.work_y.data();
    if (s.ITrans == 0) {
        const float xmin = s.xaxis.min, ymin = s.yaxis.min, fx = s.FumX, fy = s.FumY;
        for (int i = 0; i < N; ++i) {
            wx[i] = (XU[static_cast<std::size_t>(i)] - xmin) * fx;
            wy[i] = (YU[static_cast<std::size_t>(i)] - ymin) * fy;
        }
    } else {
        for (int i = 0; i < N; ++i) UU2MM(XU[static_cast<std::size_t>(i)], YU[static_cast<std::size_t>(i)], wx[i], wy[i]);
    }
    st.work_used = N;
}

void set_user_origin(double X0, double Y0) {
    DrawSettings& s = plot_state().s;
    s.user_origin_x = std::isfinite(X0) ? X0 : 0.0;
    s.user_origin_y = std::isfinite(Y0) ? Y0 : 0.0;
}

double user_origin_x() { return plot_state().s.user_origin_x; }
double user_origin_y() { return plot_state().s.user_origin_y; }

float XINVRS(float XMM, float YMM) {
    const DrawSettings& s = plot_state().s;
    float x = XMM / s.FumX + s.xaxis.min;
    switch (s.ITrans) {
        case 1: {
            float y = YMM / s.FumY + s.yaxis.min;
            if (x == 0.0f && y == 0.0f) return 0.0f;
            return std::atan2(y, x) / plot_state().PiFa;
        }
        case 2:
        case 3: return std::pow(10.0f, x);
        default: return x;
    }
}

float YINVRS(float XMM, float YMM) {
    const DrawSettings& s = plot_state().s;
    float y = YMM / s.FumY + s.yaxis.min;
    switch (s.ITrans) {
        case 1: {
            float x = XMM / s.FumX + s.xaxis.min;
            return std::hypot(x, y);
        }
        case 2:
        case 4: return std::pow(10.0f, y);
        default: return y;
    }
}

}  // namespace velin
