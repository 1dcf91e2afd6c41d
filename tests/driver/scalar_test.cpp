// End-to-end runs of the scalar pictures: every quantity as isolines and as
// a colour raster, in level and vertical sections, with and without the
// definition files of the example.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <vector>

#include "../resultfile/result_image.h"
#include "test_support.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

struct Case {
    const char* run;           // result or diffusion file
    const char* answers;
    bool definitions;          // MURAL.ISO and MURAL.RAS of the example present
    int status;
    std::vector<const char*> shown;  // on standard output (status 0) or error (1)
    bool raster;               // filled rectangles in the plot, obstacles on white
    std::vector<std::string> options = {"/l:RO"};
};

}  // namespace

TEST(ScalarPictures, EveryQuantityAsIsolinesAndRaster) {
    const Case cases[] = {
        // Refusals first: no plot is begun.
        {"run1", "D\nJ25\n", true, 1, {"DIV nicht implementiert"}, false},
        {"run1", "F\nK03\n\n", false, 1, {"GERADA-F-Rasterdefinitionsdatei MURAL.RAS nicht gefunden"}, false},
        // Isolines without a value file: spacing and first value are asked; labels with decimals.
        {"run1", "FI\nK03\n\n0.5\n0\n", false, 0,
         {"! GETIVAL-W-Kennung nicht gefunden", " Abstand der Isolinien: ", " Beginn mit Isolinienwert: ",
          " ## Beschriftung:  1.25 mm hoch, Format F", "Horizontalgeschwindigkeit [m/s]"},
         false},
        {"run1", "F\nK03\n\n", true, 0,
         {" -- Farbrasterdarstellung mit 11 Farben", " Hintergrundrechteck mit Stift"}, true},
        {"run1", "WI\nJ25\n\n\n\n", true, 0,
         {" nicht-äquidistantes vertikales Gitter !", "Vertikalgeschwindigkeit [m/s]", "Vertikalschnitt bei y="},
         false},
        {"run1", "W\nK03\n\n", true, 0, {"Horizontalschnitt bei z=4.4 m - Vertikalgeschwindigkeit"}, true},
        {"run1", "G\nK03\n\n", true, 0,
         {" Referenzgeschwindigkeit: ", " mittlere Geschwindigkeit:", "Anströmung [%]"}, true},
        {"run1", "GI\nI20\n\n\n\n", true, 0, {"Anströmung [m/s]", "ISOPLO"}, false},
        {"run1", "DI\nM02\n\n", true, 0, {"Divergenz [1/s]", "Schichten über Grund"}, false},
        {"run1.DIF", "KI\nJ25\n\n\n\n", true, 0,
         {" Mittelung der K-Werte auf Lambda-Gitter!", "Diffusionskoeffizient KZ [m2/s]"}, false},
        {"run1.DIF", "K\nK03\n\n", true, 0, {" Mittelung der K-Werte auf Lambda-Gitter!"}, true},
        // A picture without lines or of one colour says why.
        {"run1", "WI\nK01\n\n", true, 0,
         {" PLISPA-W-keine Isolinie gezeichnet: das Feld ist konstant 0; Isolinienwerte: -0.6 -0.4 -0.2 0.2"},
         false},
        {"run1", "W\nK01\n\n", true, 0, {" FFPATR-W-alle Zellen in einer Klasse (-0,05 bis 0,05): Werte von"}, true},
        // A window two cells wide is traced; one cell wide is too narrow.
        {"run1", "FI\nK03\n\n", true, 0, {" PLISPA -     2    50"}, false, {"/l:RO", "/x:3601,3609,5200,5450"}},
        {"run1", "FI\nK03\n\n", true, 0, {"ISOKOR-W-Gebiet zu klein! (1 x 50 Punkte): keine Isolinien"}, false,
         {"/l:RO", "/x:3601,3604,5200,5450"}},
        // A legend in a low plot is cut at its box, and says so once.
        {"run1", "\n\nW\nJ25\n30\n\n\n\n", true, 0, {"LEGENT-W-Legende passt nicht in ihren Kasten, unten abgeschnitten"},
         true, {"/l:UL", "/n"}},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        for (const char* name : {"run1.ERG", "run1.IGB", "run1.DIF", "run1.dat"})
            fs::copy_file(fs::path(MURAL_EXAMPLES_DIR) / name, dir.path() / name);
        if (c.definitions)
            for (const char* name : {"MURAL.ISO", "MURAL.RAS"})
                fs::copy_file(fs::path(MURAL_EXAMPLES_DIR) / name, dir.path() / name);
        std::vector<std::string> args = {c.run};
        args.insert(args.end(), c.options.begin(), c.options.end());
        RunResult r = run_mural(dir.path(), args, c.answers);
        const std::string label = std::string(c.run) + " " + c.answers;
        ASSERT_EQ(r.status, c.status) << label << r.err << r.out;
        for (const char* text : c.shown) EXPECT_TRUE(contains(c.status == 0 ? r.out : r.err, text)) << label << text;
        if (c.status != 0) {
            EXPECT_FALSE(fs::exists(dir.file("MURAL.PLT"))) << label;
            continue;
        }
        const std::string plot = read_file(dir.file("MURAL.PLT"));
        EXPECT_EQ(contains(plot, "RA"), c.raster) << label;
        EXPECT_EQ(contains(plot, "SP0;"), c.raster) << label;
        EXPECT_GT(count(plot, "PD"), 20) << label;
        EXPECT_LE(count(r.out, "-W-Legende"), 1) << label;
        // Nothing below or left of the paper.
        for (const Stroke& s : plot_strokes(plot)) ASSERT_TRUE(s.y0 >= 0.0 && s.y1 >= 0.0 && s.x0 >= 0.0) << label;
        EXPECT_TRUE(renders(dir.file("MURAL.PLT"), dir.file("s.png"))) << label;
    }
}

// A level whose inflow is calm has no percentage: its cells get 0 and a
// warning names the level.
TEST(ScalarPictures, DeviationInPerCentOfACalmLevelIsZeroWithAWarning) {
    ScratchDir dir;
    ResultSpec spec;
    std::string erg = result_bytes(spec);
    // The inflow profile: U0 = 2, 3 and V0 = -0.5, -1 on the two layers; layer 1 becomes calm.
    const float profile[] = {2.0f, 3.0f, -0.5f, -1.0f}, calm[] = {0.0f, 3.0f, 0.0f, -1.0f};
    std::string from(reinterpret_cast<const char*>(profile), sizeof profile);
    std::size_t at = erg.find(from);
    ASSERT_NE(at, std::string::npos);
    erg.replace(at, sizeof calm, std::string(reinterpret_cast<const char*>(calm), sizeof calm));
    dir.write("calm.ERG", erg);
    ObstacleSpec obstacles;
    obstacles.porous.clear();
    dir.write("HAUS.IGB", obstacle_bytes(obstacles));
    dir.write("MURAL.RAS", "G\n'Abweichung'\n-\n-10. 2 'weniger'\n10. 3 'gleich'\n999. 4 'mehr'\n");
    RunResult r = run_mural(dir.path(), {"calm", "/l:RO"}, "G\nK01\n\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, " Warnung: Anströmung in Schicht 1 ist 0")) << r.out;
    EXPECT_TRUE(contains(r.out, "Min/Max:            0            0")) << r.out;
}

namespace {

struct Point {
    double x, y;
};

// The convex hull of the points, counter-clockwise.
std::vector<Point> hull(std::vector<Point> p) {
    std::sort(p.begin(), p.end(), [](Point a, Point b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
    auto cross = [](Point o, Point a, Point b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); };
    std::vector<Point> h(2 * p.size());
    std::size_t k = 0;
    for (std::size_t i = 0; i < p.size(); h[k++] = p[i++])
        while (k >= 2 && cross(h[k - 2], h[k - 1], p[i]) <= 0) --k;
    for (std::size_t i = p.size() - 1, t = k + 1; i-- > 0; h[k++] = p[i])
        while (k >= t && cross(h[k - 2], h[k - 1], p[i]) <= 0) --k;
    h.resize(k > 1 ? k - 1 : k);
    return h;
}

// Two convex polygons overlap unless an edge normal of one separates them.
bool overlap(const std::vector<Point>& a, const std::vector<Point>& b) {
    for (const auto* poly : {&a, &b})
        for (std::size_t i = 0; i < poly->size(); ++i) {
            const Point p = (*poly)[i], q = (*poly)[(i + 1) % poly->size()];
            const double nx = q.y - p.y, ny = p.x - q.x;
            auto range = [&](const std::vector<Point>& s) {
                double lo = 1e30, hi = -1e30;
                for (Point r : s) lo = std::min(lo, r.x * nx + r.y * ny), hi = std::max(hi, r.x * nx + r.y * ny);
                return std::pair{lo, hi};
            };
            const auto [alo, ahi] = range(a);
            const auto [blo, bhi] = range(b);
            if (ahi <= blo || bhi <= alo) return false;
        }
    return true;
}

}  // namespace

// The README's isolines of the speed at level 3: every label stands inside
// the frame, apart from every other label and off every building. The labels
// are the runs of text strokes (pen width 0) between the strokes of the
// isolines; the buildings are the outlines drawn inside the frame before the
// first isoline.
TEST(ScalarPictures, LabelsStandApartAndOffTheObstacles) {
    ScratchDir dir;
    for (const char* name : {"run1.ERG", "run1.IGB", "run1.dat", "MURAL.ISO"})
        fs::copy_file(fs::path(MURAL_EXAMPLES_DIR) / name, dir.path() / name);
    RunResult r = run_mural(dir.path(), {"run1", "/l:RO"}, "FI\nK03\n\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<Stroke> strokes = plot_strokes(read_file(dir.file("MURAL.PLT")));
    auto is_line = [](const Stroke& s) { return s.width > 0.05 && s.width < 0.25; };
    const auto first_line = std::find_if(strokes.begin(), strokes.end(), is_line);
    const auto last_line = std::find_if(strokes.rbegin(), strokes.rend(), is_line).base();
    ASSERT_NE(first_line, strokes.end());
    std::vector<Point> frame;
    for (const Stroke& s : strokes)
        if (std::fabs(s.width - 0.3) < 1e-3) frame.push_back({s.x0, s.y0}), frame.push_back({s.x1, s.y1});
    const std::vector<Point> plot = hull(frame);
    ASSERT_EQ(plot.size(), 4u);
    auto inside = [&](Point p, double margin) {
        return p.x > plot[0].x + margin && p.x < plot[2].x - margin && p.y > plot[0].y + margin && p.y < plot[2].y - margin;
    };

    // Outline strokes that share an end belong to one obstacle.
    std::map<std::pair<long, long>, int> owner;
    std::vector<int> parent;
    std::vector<std::vector<Point>> points;
    auto root = [&](int i) {
        while (parent[static_cast<std::size_t>(i)] != i) i = parent[static_cast<std::size_t>(i)];
        return i;
    };
    for (auto s = strokes.begin(); s != first_line; ++s) {
        if (!inside({s->x0, s->y0}, 0.5)) continue;
        const int id = static_cast<int>(parent.size());
        parent.push_back(id);
        points.push_back({{s->x0, s->y0}, {s->x1, s->y1}});
        for (Point p : points.back()) {
            auto [it, fresh] = owner.try_emplace({std::lround(p.x * 100), std::lround(p.y * 100)}, id);
            if (!fresh) parent[static_cast<std::size_t>(root(id))] = root(it->second);
        }
    }
    std::map<int, std::vector<Point>> components;
    for (std::size_t i = 0; i < parent.size(); ++i) {
        auto& c = components[root(static_cast<int>(i))];
        c.insert(c.end(), points[i].begin(), points[i].end());
    }
    std::vector<std::vector<Point>> obstacles, labels;
    for (const auto& [id, c] : components) obstacles.push_back(hull(c));
    std::vector<Point> text;
    for (auto s = first_line; s != last_line; ++s) {
        if (is_line(*s)) {
            if (!text.empty()) labels.push_back(hull(text));
            text.clear();
            continue;
        }
        text.push_back({s->x0, s->y0});
        text.push_back({s->x1, s->y1});
    }
    EXPECT_EQ(obstacles.size(), 4u);
    EXPECT_GE(labels.size(), 25u);
    for (std::size_t a = 0; a < labels.size(); ++a) {
        for (Point p : labels[a]) EXPECT_TRUE(inside(p, 0.0)) << "label " << a << " crosses the frame";
        for (std::size_t b = a + 1; b < labels.size(); ++b)
            EXPECT_FALSE(overlap(labels[a], labels[b])) << "labels " << a << " and " << b;
        for (std::size_t o = 0; o < obstacles.size(); ++o)
            EXPECT_FALSE(overlap(labels[a], obstacles[o])) << "label " << a << " on obstacle " << o;
    }
}

// A result file with NaN and infinite wind components is read with one
// warning per field; the pictures leave those cells out: no class for them
// in the raster, no "nan" in the extremes, no arrow there.
TEST(ScalarPictures, CellsWithoutValueAreLeftOut) {
    ScratchDir dir;
    for (const char* name : {"run1.IGB", "run1.dat", "MURAL.ISO", "MURAL.RAS"})
        fs::copy_file(fs::path(MURAL_EXAMPLES_DIR) / name, dir.path() / name);
    std::string erg = read_file(std::string(MURAL_EXAMPLES_DIR) + "/run1.ERG");
    // The example's grid: 60 x 50 x 15 cells; U, V and W close the file.
    const int NX = 60, NY = 50, NZ = 15;
    const std::size_t u = erg.size() - 4 * (std::size_t(NX + 1) * NY * NZ + std::size_t(NX) * (NY + 1) * NZ +
                                            std::size_t(NX) * NY * (NZ + 1));
    const std::size_t v = u + 4 * std::size_t(NX + 1) * NY * NZ;
    auto put = [&](std::size_t block, int n1, int n2, int i, int j, int k, float value) {
        std::memcpy(&erg[block + 4 * (std::size_t(i - 1) + std::size_t(n1) * (std::size_t(j - 1) + std::size_t(n2) * (k - 1)))],
                    &value, 4);
    };
    // Both faces of cell (8, 40) of level 3 (cells 7 to 9 use them), and a V
    // face between cells (40, 9) and (40, 10): five cells without a value.
    put(u, NX + 1, NY, 8, 40, 3, std::numeric_limits<float>::quiet_NaN());
    put(u, NX + 1, NY, 9, 40, 3, std::numeric_limits<float>::quiet_NaN());
    put(v, NX, NY + 1, 40, 10, 3, -std::numeric_limits<float>::infinity());
    dir.write("run1.ERG", erg);
    struct Case {
        const char* answers;
        const char* shown;
    };
    for (const Case& c : {Case{"F\nK03\n\n", " ohne Wert      5"}, Case{"FI\nK03\n\n", "   Min/Max:            0       4.5539"},
                          Case{"V\nK03\n\n2\n\n", " - PLVEKT -"}}) {
        RunResult r = run_mural(dir.path(), {"run1", "/l:RO"}, c.answers);
        ASSERT_EQ(r.status, 0) << c.answers << r.err;
        EXPECT_TRUE(contains(r.out, " GQEM_UVW-W-Feld U: 2 Werte nicht endlich (NaN oder unendlich), erster bei (i,j,k) = "
                                    "(8,40,3); diese Zellen bleiben in den Bildern leer"))
            << r.out;
        EXPECT_TRUE(contains(r.out, " GQEM_UVW-W-Feld V: 1 Wert nicht endlich (NaN oder unendlich), erster bei (i,j,k) = "
                                    "(40,10,3)"));
        EXPECT_TRUE(contains(r.out, c.shown)) << c.answers << r.out;
        EXPECT_FALSE(contains(r.out, "nan") || contains(r.out, "inf ")) << c.answers;
        const std::string plot = read_file(dir.file("MURAL.PLT"));
        EXPECT_FALSE(contains(plot, "nan") || contains(plot, "inf")) << c.answers;
        EXPECT_TRUE(renders(dir.file("MURAL.PLT"), dir.file("s.png"))) << c.answers;
    }
}
