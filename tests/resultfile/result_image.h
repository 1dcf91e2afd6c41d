// Result and diffusion-coefficient files built byte by byte from their
// layouts, with field values that tell where they came from.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "resultfile/fields.h"
#include "resultfile/header.h"
#include "resultfile/model.h"
#include "resultfile/sections.h"
#include "test_support.h"

namespace testing_support {

struct ResultSpec {
    std::string family = "QEM";  // "QEM" or "TRZ": the program name starts with it
    float version = 2.1f;
    int NX = 3, NY = 2, NZ = 2;
    float XMIN = 100.0f, YMIN = 200.0f, DX = 10.0f, DY = 5.0f;
    std::vector<float> DZK = {2.0f, 3.0f};
    std::string title = "Testlauf";
};

// Values of the wind components: component c (1 U, 2 V, 3 W) at (i, j, k).
inline float wind_value(int c, int i, int j, int k) { return 1000.0f * c + 100.0f * k + 10.0f * j + i; }

inline std::string result_bytes(const ResultSpec& s) {
    const bool trz = s.family == "TRZ";
    const bool below_21 = s.version < 2.099f;
    const bool old = (s.version > 1.599f && s.version < 1.601f) || (s.version > 1.699f && s.version < 1.701f);
    const std::size_t lf = below_21 ? 32 : 128;
    Bytes b;
    b.f32(s.version).text(s.family + " 4.1 Testmodell", 32);
    b.text(s.title, 80).text("steuer.inp", lf).text("C:\\RUN\\HAUS.DAT", lf);
    if (!trz) b.text("oro.dat", lf).text("land.dat", lf).text("uvw.dat", lf);
    b.i32(s.NX).i32(s.NY).i32(s.NZ);
    if (!old) b.f32(s.XMIN).f32(s.YMIN);
    b.f32(s.DX).f32(s.DY).f32s(s.DZK);
    // inflow: WNord, DD, FF, ZA, (WEXP), D0, Z0, U0, V0
    b.f32(90.0f).f32(270.0f).f32(3.5f).f32(10.0f);
    if (!trz) b.f32(0.25f);
    b.f32(0.5f).f32(0.125f);
    for (int k = 1; k <= s.NZ; ++k) b.f32(1.0f + k);
    for (int k = 1; k <= s.NZ; ++k) b.f32(-0.5f * k);
    b.f32(1.5f).i32(1);
    const int ext[3][3] = {{s.NX + 1, s.NY, s.NZ}, {s.NX, s.NY + 1, s.NZ}, {s.NX, s.NY, s.NZ + 1}};
    for (int c = 0; c < 3; ++c)
        for (int k = 1; k <= ext[c][2]; ++k)
            for (int j = 1; j <= ext[c][1]; ++j)
                for (int i = 1; i <= ext[c][0]; ++i) b.f32(wind_value(c + 1, i, j, k));
    return b.str();
}

// A diffusion-coefficient file; packed values are n = 250 + (index of the value).
inline std::string diffusion_bytes(int LX, int LY, int LZ, float FAKH, float FAKV, bool packed_values) {
    Bytes b;
    b.text("QEM Diffusion Testlauf", 32).i32(LX).i32(LY).i32(LZ).f32(FAKH).f32(FAKV);
    const int ext[3][3] = {{LX + 1, LY, LZ}, {LX, LY + 1, LZ}, {LX, LY, LZ + 1}};
    for (int c = 0; c < 3; ++c) {
        int n = ext[c][0] * ext[c][1] * ext[c][2];
        for (int m = 0; m < n; ++m) {
            if (packed_values) b.i16(static_cast<std::int16_t>(250 + m));
            else b.f32(0.5f * c + 0.001f * m);
        }
    }
    return b.str();
}

// An obstacle file for the grid of ResultSpec().
struct ObstacleSpec {
    std::string family = "QEM";
    float version = 2.1f;
    int NX = 3, NY = 2, NZ = 2;
    float DX = 10.0f, DY = 5.0f;
    std::vector<float> DZK = {2.0f, 3.0f};
    // nb = 3, no = 0, np = 2
    std::vector<std::array<std::int16_t, 7>> massive = {{1, 1, 1, 2, 1, 2, 1}, {2, 3, 1, 1, 1, 1, 1}, {3, 3, 2, 2, 2, 2, 1}};
    std::vector<std::array<std::int16_t, 7>> orographic = {};
    std::vector<std::array<std::int16_t, 7>> porous = {{1, 1, 2, 2, 1, 1, 4}, {2, 2, 2, 2, 1, 3, 14}};
};

inline std::string obstacle_bytes(const ObstacleSpec& s) {
    const bool trz = s.family == "TRZ";
    const std::size_t lf = s.version < 2.099f ? 32 : 128;
    Bytes b;
    b.f32(s.version).text(s.family + " Hinderniserzeugung", 32);
    if (trz) {
        b.text("haus.dat", lf);
    } else {
        b.text("Titel der Hindernisdatei", 80).text("steuer.inp", lf).text("haus.dat", lf).text("", lf).text("", lf);
        b.text("uvw.dat", lf);
    }
    b.i32(s.NX).i32(s.NY).i32(s.NZ).f32(500.0f).f32(600.0f).f32(s.DX).f32(s.DY).f32s(s.DZK);
    b.i32(static_cast<std::int32_t>(s.massive.size()));
    if (!trz) b.i32(static_cast<std::int32_t>(s.orographic.size()));
    b.i32(static_cast<std::int32_t>(s.porous.size()));
    for (const auto* group : {&s.massive, &s.orographic, &s.porous})
        for (const auto& r : *group)
            for (std::int16_t v : r) b.i16(v);
    return b.str();
}

// Reads a whole result file in the order of the start-up: its fields at
// once, or (as a picture reads them) handed over to reading by section and
// then read as one section of all cells.
inline void read_result_file(const std::string& file, bool by_section = false) {
    namespace rf = resultfile;
    std::string mname;
    rf::GET_HEAD(file, false, mname);
    int nx, ny, nz, kg;
    rf::GET_DIM(nx, ny, nz, kg);
    rf::GET_GRID();
    rf::GET_ANS();
    if (by_section) {
        rf::read_wind_by_section();
        rf::read_field_levels(1, nz);
        return;
    }
    auto& m = rf::model_fields();
    m.U.resize(nx + kg, ny, nz);
    rf::GET_UVW(m.U.span(), nx + kg, ny, nz);
    m.V.resize(nx, ny + kg, nz);
    rf::GET_UVW(m.V.span(), nx, ny + kg, nz);
    m.W.resize(nx, ny, nz + kg);
    rf::GET_UVW(m.W.span(), nx, ny, nz + kg);
}

}  // namespace testing_support
