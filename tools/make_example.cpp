// Generates the bundled example run: the wind around three buildings of
// different heights, a covered passage (a lifted obstacle) and two trees, on a
// 60 x 50 x 15 grid of 5 m cells with layers that thicken upward.
//
// The wind is an analytic sketch of the flow, not a model solution: a
// power-law inflow profile from the west, blocked inside obstacles,
// slowed and lifted upwind of a building, sped up along its sides, and
// reversed near the ground in a recirculation zone behind it that reaches
// about 2.5 building heights downstream. The trees slow the wind in their
// crowns. This is enough to show arrows, streamlines and isolines of a
// realistic shape.
//
// Usage: make_example <output directory>
// Writes run1.ERG (result), run1.IGB (obstacles), run1.dat (building
// outlines) and run1.DIF (diffusion coefficients, packed).
#include <cmath>
#include <cstdio>
#include <exception>
#include <string>
#include <fstream>
#include <vector>

#include "platform/codepage.h"
#include "platform/fatal.h"
#include "resultfile/writer.h"

namespace {

constexpr int NX = 60, NY = 50, NZ = 15;
constexpr float DX = 5.0f, DY = 5.0f;
constexpr float XMIN = 3500.0f, YMIN = 5200.0f;  // corner in site coordinates (m)
constexpr float DD = 270.0f;                      // wind from the west, along +x (degrees)
constexpr float FF = 4.0f;                        // at ZA
constexpr float ZA = 10.0f;
constexpr float WEXP = 0.22f;
constexpr double kPi = 3.14159265358979323846;

struct Box {
    int ia, ie, ja, je, ka, ke, type;
};

// Buildings first, then the lifted passage roof, then the trees.
const std::vector<Box> kMassive = {
    {14, 21, 17, 29, 1, 6, 1},   // long slab, about 20 m
    {30, 36, 12, 19, 1, 9, 1},   // tower, about 42 m
    {38, 45, 30, 37, 1, 4, 1},   // low hall, about 11 m
    {22, 29, 22, 24, 3, 4, 1},   // roof over a passage, lifted off the ground
};
const std::vector<Box> kPorous = {
    {8, 9, 36, 37, 1, 3, 4},
    {50, 51, 14, 15, 1, 4, 4},
};

// The digitised building file that the result header names: the outlines as
// surveyed, a little inside the cells that the model gave the buildings, in
// fixed columns (key, base and top height, four x, four y, porosity).
void write_building_file(const std::string& path, const std::vector<float>& zw) {
    std::ofstream out(path, std::ios::binary);
    if (!out) platform::fatal("MAKE_EXAMPLE", "cannot write " + path);
    auto x_at = [](float i) { return XMIN + (i - 1.0f) * DX; };
    auto y_at = [](float j) { return YMIN + (j - 1.0f) * DY; };
    auto line = [&](char key, float gh0, float gh, const float x[4], const float y[4]) {
        char text[128];
        std::snprintf(text, sizeof text, "%c%5.1f%5.1f  %8.1f%8.1f%8.1f%8.1f  %8.1f%8.1f%8.1f%8.1f%5.1f\r\n", key,
                      static_cast<double>(gh0), static_cast<double>(gh), static_cast<double>(x[0]),
                      static_cast<double>(x[1]), static_cast<double>(x[2]), static_cast<double>(x[3]),
                      static_cast<double>(y[0]), static_cast<double>(y[1]), static_cast<double>(y[2]),
                      static_cast<double>(y[3]), 0.0);
        out << text;
    };
    out << "! Gebaeude RUN1\r\n! Lageplan\r\n";
    const float slab_x[4] = {x_at(14.2f), x_at(21.9f), x_at(21.9f), x_at(14.2f)};
    const float slab_y[4] = {y_at(17.3f), y_at(17.3f), y_at(29.8f), y_at(29.8f)};
    line('C', 0.0f, zw[6], slab_x, slab_y);
    // The tower stands a little turned against the grid.
    const float tower_x[4] = {x_at(30.3f), x_at(36.8f), x_at(36.6f), x_at(30.1f)};
    const float tower_y[4] = {y_at(12.2f), y_at(12.4f), y_at(19.8f), y_at(19.6f)};
    line('C', 0.0f, zw[9], tower_x, tower_y);
    const float hall_x[4] = {x_at(38.2f), x_at(45.8f), x_at(45.8f), x_at(38.2f)};
    const float hall_y[4] = {y_at(30.1f), y_at(30.1f), y_at(37.9f), y_at(37.9f)};
    line('Q', 0.0f, zw[4], hall_x, hall_y);
    const float roof_x[4] = {x_at(22.0f), x_at(30.0f), x_at(30.0f), x_at(22.0f)};
    const float roof_y[4] = {y_at(22.2f), y_at(22.2f), y_at(24.8f), y_at(24.8f)};
    line('C', zw[2], zw[4], roof_x, roof_y);
    // A garden wall south of the slab, as a polyline.
    const float wall[4][2] = {{10.0f, 14.0f}, {18.0f, 14.0f}, {18.0f, 15.0f}, {26.0f, 15.0f}};
    for (const auto& p : wall) {
        const float x[4] = {x_at(p[0]), 0.0f, 0.0f, 0.0f}, y[4] = {y_at(p[1]), 0.0f, 0.0f, 0.0f};
        line('W', 0.0f, 2.0f, x, y);
    }
    // Trees: centre x, centre y, radius.
    for (const Box& b : kPorous) {
        const float x[4] = {x_at(0.5f * static_cast<float>(b.ia + b.ie + 1)),
                            y_at(0.5f * static_cast<float>(b.ja + b.je + 1)), 4.0f, 0.0f};
        const float y[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        line('M', 0.0f, zw[static_cast<std::size_t>(b.ke)], x, y);
    }
}

std::vector<float> layer_thicknesses() {
    std::vector<float> dz(NZ);
    float t = 2.0f;
    for (int k = 0; k < NZ; ++k) {
        dz[static_cast<std::size_t>(k)] = std::round(t * 10.0f) / 10.0f;
        t *= 1.2f;
    }
    return dz;
}

struct Geometry {
    std::vector<float> zw;  // faces, NZ+1
    float ex, ey;           // direction the wind blows to
};

float profile(float z) { return FF * std::pow(std::max(z, 0.5f) / ZA, WEXP); }

bool inside(const Box& b, int i, int j, int k) {
    return i >= b.ia && i <= b.ie && j >= b.ja && j <= b.je && k >= b.ka && k <= b.ke;
}

bool blocked(int i, int j, int k) {
    for (const Box& b : kMassive)
        if (inside(b, i, j, k)) return true;
    return false;
}

// Velocity (u, v, w) of the sketch at a point (m above ground).
void sketch(const Geometry& g, double x, double y, double z, float& u, float& v, float& w) {
    double speed = profile(static_cast<float>(z));
    double fu = 1.0, fv = 0.0, fw = 0.0;  // along, across and vertical factors
    for (std::size_t n = 0; n < 3; ++n) {
        const Box& b = kMassive[n];
        double cx = XMIN + (b.ia - 1 + b.ie) * 0.5 * DX, cy = YMIN + (b.ja - 1 + b.je) * 0.5 * DY;
        double hx = (b.ie - b.ia + 1) * 0.5 * DX, hy = (b.je - b.ja + 1) * 0.5 * DY;
        double H = g.zw[static_cast<std::size_t>(b.ke)];
        double half_len = std::abs(hx * g.ex) + std::abs(hy * g.ey);
        double half_wid = std::abs(hx * g.ey) + std::abs(hy * g.ex);
        double s = (x - cx) * g.ex + (y - cy) * g.ey;     // along the wind
        double t = -(x - cx) * g.ey + (y - cy) * g.ex;    // across it
        double zr = z / H;
        if (zr > 1.6) continue;
        double lateral = std::exp(-std::pow(std::max(0.0, std::abs(t) - half_wid) / (0.4 * H), 2));
        double vertical = zr < 1.0 ? 1.0 - zr * zr : 0.0;
        // Recirculation behind the building: reversed near the ground.
        double sd = s - half_len;
        double Lr = 2.5 * H;
        if (sd > 0 && sd < Lr) {
            // Beside the building the wake sets in gradually, not at the lee face.
            double ramp = std::abs(t) <= half_wid ? 1.0 : std::min(1.0, sd / H);
            double g1 = (1.0 - sd / Lr) * vertical * lateral * ramp;
            fu -= 1.7 * g1;
            fw -= 0.25 * std::sin(kPi * sd / Lr) * lateral * (zr < 1.2 ? 1.0 : 0.0) * (1.0 - 0.5 * zr);
        }
        // Upwind: slowed and lifted over the front face.
        double su = -half_len - s;
        if (su > 0 && su < H) {
            double ramp = std::abs(t) <= half_wid ? 1.0 : std::min(1.0, su / (0.5 * H));
            double g2 = (1.0 - su / H) * lateral * ramp;
            fu -= 0.5 * g2 * vertical;
            fw += 0.35 * g2 * (zr < 1.2 ? 1.0 : 0.0);
        }
        // Along the sides: faster, and turned away from the building.
        if (std::abs(t) > half_wid && std::abs(t) < half_wid + H && zr < 1.0) {
            double beyond = std::max(0.0, std::abs(s) - half_len) / (0.5 * H);
            double g3 = (1.0 - (std::abs(t) - half_wid) / H) * vertical * std::exp(-beyond * beyond);
            fu += 0.3 * g3;
            fv += (t > 0 ? 0.25 : -0.25) * g3 * (s < 0 ? 1.0 : -0.4);
        }
    }
    for (const Box& b : kPorous) {
        double cx = XMIN + (b.ia - 1 + b.ie) * 0.5 * DX, cy = YMIN + (b.ja - 1 + b.je) * 0.5 * DY;
        double r = std::hypot(x - cx, y - cy);
        if (r < 8.0 && z < g.zw[static_cast<std::size_t>(b.ke)]) fu *= 0.5 + 0.5 * r / 8.0;
    }
    double along = speed * fu, across = speed * fv;
    u = static_cast<float>(along * g.ex - across * g.ey);
    v = static_cast<float>(along * g.ey + across * g.ex);
    w = static_cast<float>(speed * fw);
}

// The result file: the sketched wind on the faces, no flow into obstacles.
resultfile::ResultFileImage make_result(const Geometry& g, const std::vector<float>& dz) {
    resultfile::ResultFileImage r;
    r.version = 2.1f;
    r.program = "QEM V3.2";
    r.title = platform::utf8_to_cp850("Beispiel: Umströmung von drei Gebäuden, Anströmung aus 270 Grad");
    r.infile = "C:\\MODELL\\RUN1.STE";
    r.igbfile = "C:\\MODELL\\RUN1.DAT";
    r.orodat = "";
    r.landat = "";
    r.uvwdat = "C:\\MODELL\\RUN1.UVW";
    r.NX = NX;
    r.NY = NY;
    r.NZ = NZ;
    r.XMIN = XMIN;
    r.YMIN = YMIN;
    r.DX = DX;
    r.DY = DY;
    r.DZK = dz;
    r.WNord = 90.0f;
    r.DD = DD;
    r.FF = FF;
    r.ZA = ZA;
    r.WEXP = WEXP;
    r.D0 = 0.0f;
    r.Z0 = 0.3f;
    for (int k = 0; k < NZ; ++k) {
        float zc = g.zw[static_cast<std::size_t>(k)] + 0.5f * dz[static_cast<std::size_t>(k)];
        r.U0.push_back(profile(zc) * g.ex);
        r.V0.push_back(profile(zc) * g.ey);
    }
    r.ALPHA = 1.0f;
    r.TOPZU = false;

    // U on the x faces: face i lies between cells i-1 and i.
    for (int k = 1; k <= NZ; ++k)
        for (int j = 1; j <= NY; ++j)
            for (int i = 1; i <= NX + 1; ++i) {
                float u, v, w;
                double z = g.zw[static_cast<std::size_t>(k - 1)] + 0.5 * dz[static_cast<std::size_t>(k - 1)];
                sketch(g, XMIN + (i - 1) * DX, YMIN + (j - 0.5) * DY, z, u, v, w);
                if (blocked(i - 1, j, k) || blocked(i, j, k)) u = 0.0f;
                r.U.push_back(u);
            }
    for (int k = 1; k <= NZ; ++k)
        for (int j = 1; j <= NY + 1; ++j)
            for (int i = 1; i <= NX; ++i) {
                float u, v, w;
                double z = g.zw[static_cast<std::size_t>(k - 1)] + 0.5 * dz[static_cast<std::size_t>(k - 1)];
                sketch(g, XMIN + (i - 0.5) * DX, YMIN + (j - 1) * DY, z, u, v, w);
                if (blocked(i, j - 1, k) || blocked(i, j, k)) v = 0.0f;
                r.V.push_back(v);
            }
    for (int k = 1; k <= NZ + 1; ++k)
        for (int j = 1; j <= NY; ++j)
            for (int i = 1; i <= NX; ++i) {
                float u, v, w;
                sketch(g, XMIN + (i - 0.5) * DX, YMIN + (j - 0.5) * DY, g.zw[static_cast<std::size_t>(k - 1)], u, v, w);
                // No flow through the ground, the top or an obstacle face.
                if (k == 1 || k == NZ + 1 || blocked(i, j, k - 1) || blocked(i, j, k)) w = 0.0f;
                r.W.push_back(w);
            }
    return r;
}

// The obstacle file of the result file's run.
resultfile::ObstacleFileImage make_obstacles(const resultfile::ResultFileImage& r, const std::vector<float>& dz) {
    resultfile::ObstacleFileImage o;
    o.version = 2.1f;
    o.program = r.program;
    o.title = r.title;
    o.infile = r.infile;
    o.gebdat = r.igbfile;
    o.uvwdat = r.uvwdat;
    o.NX = NX;
    o.NY = NY;
    o.NZ = NZ;
    o.X0 = XMIN;
    o.Y0 = YMIN;
    o.DX = DX;
    o.DY = DY;
    o.DZK = dz;
    auto record = [](const Box& b) {
        return resultfile::ObstacleRecord{static_cast<std::int16_t>(b.ia), static_cast<std::int16_t>(b.ie),
                                          static_cast<std::int16_t>(b.ja), static_cast<std::int16_t>(b.je),
                                          static_cast<std::int16_t>(b.ka), static_cast<std::int16_t>(b.ke),
                                          static_cast<std::int16_t>(b.type)};
    };
    for (const Box& b : kMassive) o.massive.push_back(record(b));
    for (const Box& b : kPorous) o.porous.push_back(record(b));
    return o;
}

resultfile::DiffusionFileImage make_diffusion(const resultfile::ResultFileImage& r, const Geometry& g,
                                              const std::vector<float>& dz) {
    // Diffusion coefficients growing with height (mixing length), smaller
    // in the wakes where the wind is weak; stored packed.
    resultfile::DiffusionFileImage d;
    d.run = "QEM V3.2 Beispiel";
    d.LX = NX;
    d.LY = NY;
    d.LZ = NZ;
    d.FAKH = 100.0f;
    d.FAKV = 100.0f;
    auto coefficient = [&](float speed, double z) {
        double l = 0.4 * z / (1.0 + 0.4 * z / 20.0);
        return static_cast<float>(std::min(0.05 + l * 0.1 * std::abs(speed) + 0.02 * l, 300.0));
    };
    for (int k = 1; k <= NZ; ++k)
        for (int j = 1; j <= NY; ++j)
            for (int i = 1; i <= NX + 1; ++i) {
                std::size_t n = static_cast<std::size_t>((i - 1) + (NX + 1) * ((j - 1) + NY * (k - 1)));
                d.KX.push_back(coefficient(r.U[n], g.zw[static_cast<std::size_t>(k - 1)] + 0.5 * dz[static_cast<std::size_t>(k - 1)]));
            }
    for (int k = 1; k <= NZ; ++k)
        for (int j = 1; j <= NY + 1; ++j)
            for (int i = 1; i <= NX; ++i) {
                std::size_t n = static_cast<std::size_t>((i - 1) + NX * ((j - 1) + (NY + 1) * (k - 1)));
                d.KY.push_back(coefficient(r.V[n], g.zw[static_cast<std::size_t>(k - 1)] + 0.5 * dz[static_cast<std::size_t>(k - 1)]));
            }
    for (int k = 1; k <= NZ + 1; ++k)
        for (int j = 1; j <= NY; ++j)
            for (int i = 1; i <= NX; ++i) {
                std::size_t n = static_cast<std::size_t>((i - 1) + NX * ((j - 1) + NY * (k - 1)));
                d.KZ.push_back(coefficient(2.0f + r.W[n], g.zw[static_cast<std::size_t>(k - 1)]));
            }
    return d;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_example <output directory>\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    try {
        Geometry g;
        const std::vector<float> dz = layer_thicknesses();
        g.zw.assign(NZ + 1, 0.0f);
        for (int k = 0; k < NZ; ++k) g.zw[static_cast<std::size_t>(k + 1)] = g.zw[static_cast<std::size_t>(k)] + dz[static_cast<std::size_t>(k)];
        // Meteorological direction: the wind comes from DD and blows to DD + 180.
        const double rad = DD * kPi / 180.0;
        g.ex = static_cast<float>(-std::sin(rad));
        g.ey = static_cast<float>(-std::cos(rad));

        const resultfile::ResultFileImage r = make_result(g, dz);
        resultfile::write_result_file(dir + "run1.ERG", r);
        resultfile::write_obstacle_file(dir + "run1.IGB", make_obstacles(r, dz));
        write_building_file(dir + "run1.dat", g.zw);
        resultfile::write_diffusion_file(dir + "run1.DIF", make_diffusion(r, g, dz));
    } catch (const platform::Fatal& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
