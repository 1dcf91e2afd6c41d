// The plot of a picture: set-up of page, graph and legend; the picture;
// the finishing overlays (scale bar, wind-direction indicator, north arrow,
// frame); the end of the plot.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <utility>

#include "contour/scalar_field.h"
#include "driver/cmdline.h"
#include "driver/comparison.h"
#include "driver/dialogue.h"
#include "driver/overlays.h"
#include "driver/settings.h"
#include "flowplots/trajectories.h"
#include "flowplots/vectors.h"
#include "mapelements/background.h"
#include "mapelements/legend.h"
#include "mapelements/mapsymbols.h"
#include "mapelements/obstacles.h"
#include "platform/console.h"
#include "platform/text.h"
#include "resultfile/model.h"
#include "velin/velin.h"

namespace driver {

namespace {

using platform::fixed;

// The least height of a legend inside the plot, in character heights: one
// line of the legend with its spacing.
constexpr float kInsideLegendLines = 4.0f;
// The least distance of a legend beside the plot from the foot of the page (mm).
constexpr float kFootMargin = 2.0f;

void write_text(const std::string& text, float x, float y) {
    velin::MESSAG(text, static_cast<int>(text.size()), x, y);
}

// The palette of the layout file: "file" or "file,name"; a blank name is the file's first palette.
void load_palette(const std::string& pal) {
    const std::size_t comma = pal.find(',');
    std::string file = comma == std::string::npos ? pal : pal.substr(0, comma);
    std::string name = comma == std::string::npos ? std::string() : pal.substr(comma + 1);
    auto trim = [](std::string& s) {
        s.erase(0, s.find_first_not_of(' '));
        s.erase(s.find_last_not_of(' ') + 1);
    };
    trim(file);
    trim(name);
    velin::SETPAL(file, name);
}

// How far below the top of the legend box the picture's legend lines will
// reach (mm): the reference arrow of arrows and trajectories, the raster's
// titles and classes, the background map's headings and classes, spaced as
// the legend routines will space them.
float legend_depth(const Picture& p) {
    const Settings& s = settings();
    const mapelements::LegendState& leg = mapelements::RRLEGP();
    const float height = leg.HEILEG > 0.0f ? leg.HEILEG : s.ZH;
    const float spacing = leg.YLSEP > 0.0f ? leg.YLSEP : 3.0f * height;
    float y = 0.0f, depth = 0.0f;
    if (p.VEKT || p.TRAJ) {
        // The arrow stands one line down, its label centred on it; the next
        // line follows two character heights lower.
        depth = spacing + 0.5f * s.ZH;
        y = 2.0f * s.ZH;
    }
    int headings = 0, entries = 0;
    if (!p.flow() && !p.ISOL) {
        contour::raster_legend_lines("MURAL.RAS", contour::section_key(p.letter, p.section.IS), headings, entries);
        y += static_cast<float>(headings + entries) * spacing;
        depth = std::max(depth, y);
    }
    if (p.map()) {
        mapelements::background_legend_lines(s.fill_pen, headings, entries);
        const float zh = mapelements::background().ZHLEG;
        const float line = zh > 0.0f ? 3.0f * zh : spacing;
        const float heading = zh > 0.0f ? zh : height;
        if ((p.VEKT || p.TRAJ) && headings > 0) {
            // The first heading keeps clear of the reference arrow's label.
            y = std::max(y + line, spacing + 0.75f * s.ZH + 1.5f * heading);
            y += static_cast<float>(headings + entries - 1) * line;
        } else {
            y += static_cast<float>(headings + entries) * line;
        }
        depth = std::max(depth, y);
    }
    return depth;
}

void set_up_plot(const Picture& p, bool first) {
    const Settings& s = settings();
    const Section& sec = p.section;
    if (first) {
        velin::ENDPL(0);
        velin::INIPLO("HPGL2", s.PFORMAT);
        velin::PLFILE(s.PLT_FILE);
        load_palette(s.PAL_FILE);
        if (s.font) velin::LODSTY("SWISSL");
    }
    velin::PHYSOR(s.XN, p.YN);
    velin::AREA2D(p.GX, p.GY);
    velin::SELPEN(1);
    velin::HEIGHT(s.ZH);
    if (s.AXTXT) {
        velin::INTAXS();
        const std::string xname = sec.IS == 1 ? "y [m]" : "x [m]";
        const std::string yname = sec.vertical() ? "z [m]" : "y [m]";
        velin::XNAME(xname, static_cast<int>(xname.size()));
        velin::YNAME(yname, static_cast<int>(yname.size()));
        velin::XTICKS(1);
        velin::YTICKS(1);
    } else {
        velin::XNONUM();
        velin::YNONUM();
    }
    // The graph is drawn relative to the grid's corner; its axes number the real coordinates.
    const resultfile::Grid& g = resultfile::grid();
    velin::set_user_origin(sec.IS == 1 ? g.YMIN : g.XMIN, sec.level() ? g.YMIN : 0.0);
    velin::GRAF(sec.XA, sec.XS, sec.XE, sec.YA, sec.YS, sec.YE);
    // The title stands above the plot, made smaller when it is wider than the plot.
    velin::HEIGHT(1.2f * s.ZH);
    const float width = velin::XMESS(p.plot_title, static_cast<int>(p.plot_title.size()));
    if (width > p.GX) velin::HEIGHT(1.2f * s.ZH * p.GX / width);
    write_text(p.plot_title, 0.0f, p.GY + 1.5f * s.ZH);
    velin::HEIGHT(s.ZH);
    // The logo stands above the legend column, beside the title.
    if (s.LOGO) mapelements::AVO_LOGO(p.GX + 5.0f, p.GY + 1.5f * s.ZH, 2.0f * s.ZH, 1, 'l', false);
    velin::GRACE(0.0f);

    float xl = 0, yl = 0, wl = 0, hl = 0, frame = 0;
    mapelements::ELEPOS(s.LPOS, xl, yl, wl, hl, frame, p.GX, p.GY);
    if (!mapelements::legend_switched_off()) {
        // The box holds all lines of the legend, with a character height
        // to spare below the last.
        const float needed = legend_depth(p) + s.ZH;
        std::string code;
        TOLOWR(s.LPOS.substr(0, 2), code);
        const bool bottom_anchored = code == "ru";
        // A legend inside the plot stands on a clear box: a blanking area
        // (with a thin frame) that keeps the picture's lines out.
        if (legend_inside_plot(xl, yl, wl, std::max(hl, kInsideLegendLines * s.ZH), p.GX, p.GY)) {
            frame = -std::max(frame, 0.1f);
            // The box grows upwards, at least to one line, and moves down
            // to stay in the plot; taller than the plot it cannot be.
            // (What then does not fit is cut by the legend, which says so.)
            hl = std::min(std::max({hl, kInsideLegendLines * s.ZH, needed}), p.GY);
            yl = std::max(0.0f, std::min(yl, p.GY - hl));
        } else if (needed > hl) {
            // Beside the plot the box keeps its top and grows downwards; the
            // one at the bottom right keeps its bottom and grows upwards.
            // Either way it stays above the foot of the page.
            if (!bottom_anchored) yl = std::max(yl - (needed - hl), kFootMargin - p.YN);
            hl = needed;
        }
        mapelements::LEGDEF(xl, yl, wl, hl, frame);
        const mapelements::LegendState& leg = mapelements::RRLEGP();
        mapelements::LEGSEP(leg.XLSEP, leg.YLSEP, leg.XTSEP);
        mapelements::LEGSYM(leg.XLLEN, leg.YLLEN);
    }
}

// The wind of the section for the arrows, as the section kind needs it.
void draw_vectors(const Picture& p) {
    const Section& sec = p.section;
    const resultfile::Grid& g = resultfile::grid();
    const resultfile::ModelFields& m = picture_wind(p);
    platform::Field2D<float> A, B;
    std::vector<float> xl, yl, dx, dy;
    int n1 = 0, n2 = 0, kgrid = 1;
    if (sec.level()) {
        n1 = sec.cells_x();
        n2 = sec.cells_y();
        for (int i = sec.ILB; i <= sec.IRB; ++i) xl.push_back(g.centre_x(i)), dx.push_back(g.DXI(i));
        for (int j = sec.JVB; j <= sec.JHB; ++j) yl.push_back(g.centre_y(j)), dy.push_back(g.DYJ(j));
        if (!sec.terrain) {
            // The faces of the window on the level, straight from the section's fields.
            flowplots::PLVEKT(m.U.level_window(sec.ILB, sec.JVB, sec.LCUT, n1 + 1, n2),
                              m.V.level_window(sec.ILB, sec.JVB, sec.LCUT, n1, n2 + 1), n1, n2, xl, yl, dx, dy,
                              kgrid);
            return;
        }
        // Terrain-following: both components at the cell centres of each column's level.
        kgrid = 0;
        A.resize(n1, n2);
        B.resize(n1, n2);
        for (int j = 1; j <= n2; ++j)
            for (int i = 1; i <= n1; ++i) {
                const int gi = sec.ILB + i - 1, gj = sec.JVB + j - 1;
                const int k = sec.layer_at(gi, gj, g.NZ);
                A(i, j) = 0.5f * (m.U(gi, gj, k) + m.U(gi + 1, gj, k));
                B(i, j) = 0.5f * (m.V(gi, gj, k) + m.V(gi, gj + 1, k));
            }
    } else {
        const bool column = sec.IS == 1;
        const int from = column ? sec.JVB : sec.ILB, to = column ? sec.JHB : sec.IRB;
        SectionWind w = vertical_section_wind(sec, m);
        n1 = w.n1;
        n2 = w.n2;
        A = std::move(w.along);
        B = std::move(w.up);
        for (int a = from; a <= to; ++a) {
            xl.push_back(column ? g.centre_y(a) : g.centre_x(a));
            dx.push_back(column ? g.DYJ(a) : g.DXI(a));
        }
        for (int k = 1; k <= n2; ++k) yl.push_back(g.ZL(k)), dy.push_back(g.DZK(k));
    }
    flowplots::PLVEKT(A, B, n1, n2, xl, yl, dx, dy, kgrid);
}

// The obstacles of the section: the outlines of the building file with "/o" in
// level sections, else the discretised obstacles of the obstacle list.
void draw_obstacles(const Picture& p) {
    const Settings& s = settings();
    const Section& sec = p.section;
    const resultfile::Grid& g = resultfile::grid();
    velin::GRACE(0.0f);
    velin::NOCHEK();
    const int index = obstacle_index(p);
    if (p.obstacles.BORG && sec.level()) {
        mapelements::PLBORG(s.GEB_FILE, s.fill_pen, s.fill, g.ZL(std::clamp(index, 1, g.NZ)));
    } else {
        mapelements::PLBDIG(sec.IS, index, s.DRAFT, s.fill, false, s.fill_pen, sec.terrain ? &sec.KGEL : nullptr);
    }
}

// The cells of the section taken by obstacles, for the flow pictures.
void build_obstacle_mask(Picture& p) {
    const Section& sec = p.section;
    const int n1 = sec.level() ? sec.cells_x() : sec.cells_along();
    const int n2 = sec.level() ? sec.cells_y() : resultfile::grid().NZ;
    p.LGB.resize(n1, n2, 0);
    mapelements::IMHAUS(sec.LCUT, sec.IS, p.LGB, n1, n2, resultfile::obstacles().nb, sec.ILB, sec.IRB, sec.JVB,
                        sec.JHB, sec.terrain ? &sec.KGEL : nullptr);
}

void finish_plot(const Picture& p) {
    {
        // The overlays lie outside the plot area: they are clipped to the page only.
        mapelements::PageClipping page;
        draw_overlays(p);
    }
    velin::SELPEN(1);
    velin::RRWIND(0.0f, p.GX, 0.0f, p.GY, 0.0f);
    velin::SELPEN(1);
    velin::THKFRM(0.3f);
    velin::FRAME();
    velin::ENDGR(0);
}

}  // namespace

void draw_picture(Picture& p, bool first) {
    const Settings& s = settings();
    const Section& sec = p.section;
    set_up_plot(p, first);
    mapelements::new_obstacle_picture();
    mapelements::set_obstacle_window({sec.XA, sec.XE, sec.YA, sec.YE, sec.ILB, sec.IRB, sec.JVB, sec.JHB});
    // The background map of a level section lies under the picture; only a
    // colour raster, which covers what lies under it, comes first. Its
    // legend lines follow the picture's own (the reference arrow).
    const bool raster = !p.flow() && !p.ISOL;
    auto draw_map = [&] {
        platform::console().line(" Hintergrund mit Stift #" + platform::integer(s.fill_pen, 3));
        mapelements::BACKG(mapelements::background().DIGDAT, s.DRAFT, s.fill_pen, sec.XA, sec.XE, sec.YA, sec.YE,
                           false);
        // Points of the picture outside the plot are reported again.
        velin::GRACE(0.0f);
    };
    const bool obstacles = !p.obstacles.NOBU;
    if (p.map() && !raster) draw_map();
    // Isolines are drawn over the obstacles; the flow pictures lie under them.
    if (obstacles && p.ISOL) draw_obstacles(p);
    if (p.flow()) {
        build_obstacle_mask(p);
        // The flow lines keep out of every area blanked so far (legend box).
        flowplots::BLNKON();
    }
    if (p.VEKT) draw_vectors(p);
    if (p.STRM) draw_streamlines(p);
    if (p.TRAJ) draw_trajectories(p);
    if (!p.flow()) draw_scalar_picture(p);
    if (p.map() && raster) draw_map();
    // On top: in level sections always; in vertical ones over arrows and rasters.
    if (obstacles && (sec.level() || p.flow() || !p.ISOL)) draw_obstacles(p);
    if (p.map()) mapelements::background_legend(s.DRAFT, s.fill_pen);
    finish_plot(p);
}

}  // namespace driver
