#include <gtest/gtest.h>

#include "result_image.h"
#include "resultfile/fields.h"
#include "resultfile/header.h"
#include "resultfile/model.h"
#include "resultfile/separate.h"
#include "resultfile/writer.h"

namespace rf = resultfile;
using namespace testing_support;

namespace {

// The content of result_bytes(spec) as an image for the writer.
rf::ResultFileImage image_of(const ResultSpec& s) {
    rf::ResultFileImage r;
    r.version = s.version;
    r.program = s.family + " 4.1 Testmodell";
    r.title = s.title;
    r.infile = "steuer.inp";
    r.igbfile = "C:\\RUN\\HAUS.DAT";
    r.orodat = "oro.dat";
    r.landat = "land.dat";
    r.uvwdat = "uvw.dat";
    r.NX = s.NX;
    r.NY = s.NY;
    r.NZ = s.NZ;
    r.XMIN = s.XMIN;
    r.YMIN = s.YMIN;
    r.DX = s.DX;
    r.DY = s.DY;
    r.DZK = s.DZK;
    r.WNord = 90.0f;
    r.DD = 270.0f;
    r.FF = 3.5f;
    r.ZA = 10.0f;
    r.WEXP = 0.25f;
    r.D0 = 0.5f;
    r.Z0 = 0.125f;
    for (int k = 1; k <= s.NZ; ++k) {
        r.U0.push_back(1.0f + k);
        r.V0.push_back(-0.5f * k);
    }
    r.ALPHA = 1.5f;
    r.TOPZU = true;
    std::vector<float>* fields[3] = {&r.U, &r.V, &r.W};
    const int ext[3][3] = {{s.NX + 1, s.NY, s.NZ}, {s.NX, s.NY + 1, s.NZ}, {s.NX, s.NY, s.NZ + 1}};
    for (int c = 0; c < 3; ++c)
        for (int k = 1; k <= ext[c][2]; ++k)
            for (int j = 1; j <= ext[c][1]; ++j)
                for (int i = 1; i <= ext[c][0]; ++i) fields[c]->push_back(wind_value(c + 1, i, j, k));
    return r;
}

TEST(ResultWriter, RefusesArraysThatDoNotFitTheDimensions) {
    rf::ResultFileImage r = image_of(ResultSpec());
    r.W.pop_back();
    EXPECT_NE(fatal_message([&] { rf::encode_result_file(r); }).find("W hat"), std::string::npos);
    r = image_of(ResultSpec());
    r.NZ = 0;
    EXPECT_NE(fatal_message([&] { rf::encode_result_file(r); }).find("positiv"), std::string::npos);

    rf::DiffusionFileImage d;
    d.LX = d.LY = d.LZ = 1;
    d.KX = {1, 1};
    d.KY = {1, 1};
    d.KZ = {1, 400};
    d.FAKH = d.FAKV = 100.0f;  // 400 m²/s packs to 40000, beyond 16 bits
    EXPECT_NE(fatal_message([&] { rf::encode_diffusion_file(d); }).find("16 bit"), std::string::npos);
}

TEST(ResultWriter, WritesTheLayoutOfEveryVersionAndFamily) {
    for (const char* family : {"QEM", "TRZ"}) {
        for (float version : {2.1f, 2.0f, 1.7f, 1.6f}) {
            ResultSpec spec;
            spec.family = family;
            spec.version = version;
            EXPECT_EQ(rf::encode_result_file(image_of(spec)), result_bytes(spec)) << family << " " << version;
        }
    }
}

TEST(ResultWriter, WrittenFilesReadBack) {
    ScratchDir dir;
    for (float version : {2.1f, 1.6f}) {
        rf::reset_model();
        ResultSpec spec;
        spec.family = "TRZ";
        spec.version = version;
        spec.NX = 5;
        spec.NY = 4;
        spec.NZ = 3;
        spec.DZK = {1.0f, 2.0f, 4.0f};
        rf::write_result_file(dir.file("w.ERG"), image_of(spec));
        CapturedConsole con("j\n");
        std::string mname;
        rf::GET_HEAD(dir.file("w.ERG"), false, mname);
        int nx, ny, nz, kg;
        rf::GET_DIM(nx, ny, nz, kg);
        rf::GET_GRID();
        rf::GET_ANS();
        std::vector<float> u((nx + 1) * ny * nz), v(nx * (ny + 1) * nz), w(nx * ny * (nz + 1));
        rf::GET_UVW(u, nx + 1, ny, nz);
        rf::GET_UVW(v, nx, ny + 1, nz);
        rf::GET_UVW(w, nx, ny, nz + 1);
        EXPECT_EQ(mname, "TRZ             ");
        EXPECT_FLOAT_EQ(rf::grid().ZW(4), 7.0f);
        EXPECT_FLOAT_EQ(u.back(), wind_value(1, 6, 4, 3));
        EXPECT_FLOAT_EQ(w.back(), wind_value(3, 5, 4, 4));
    }
    rf::reset_model();
}

// A second file read whole into its own image leaves the main run's grid,
// inflow and fields as they were.
TEST(ResultWriter, SecondFileReadApartFromTheMainRun) {
    ScratchDir dir;
    rf::reset_model();
    ResultSpec main_spec;
    rf::write_result_file(dir.file("main.ERG"), image_of(main_spec));
    ResultSpec other;
    other.NX = 5;
    other.NY = 4;
    other.NZ = 3;
    other.DZK = {1.0f, 2.0f, 4.0f};
    rf::ResultFileImage written = image_of(other);
    rf::write_result_file(dir.file("other.ERG"), written);
    CapturedConsole con;
    std::string mname;
    rf::GET_HEAD(dir.file("main.ERG"), false, mname);
    int nx, ny, nz, kg;
    rf::GET_DIM(nx, ny, nz, kg);
    rf::GET_GRID();
    rf::GET_ANS();
    const float first_u0 = rf::wind_data().U0(1);
    rf::ResultFileImage read = rf::read_result_separately(dir.file("other.ERG"), false, mname);
    EXPECT_EQ(read.NX, 5);
    EXPECT_EQ(read.DZK, written.DZK);
    EXPECT_EQ(read.U0, written.U0);
    EXPECT_EQ(read.U, written.U);
    EXPECT_EQ(read.W, written.W);
    EXPECT_EQ(rf::grid().NX, main_spec.NX);
    EXPECT_EQ(rf::grid().DZK.n(), main_spec.NZ);
    EXPECT_EQ(rf::wind_data().U0(1), first_u0);
    rf::reset_model();
}

TEST(ResultWriter, DiffusionFilesRoundTripPackedAndUnpacked) {
    ScratchDir dir;
    rf::DiffusionFileImage d;
    d.run = "Lauf";
    d.LX = 2;
    d.LY = 1;
    d.LZ = 1;
    d.KX = {0.25f, 1.5f, 3.0f};
    d.KY = {0.5f, 0.75f, 1.0f, 1.25f};
    d.KZ = {2.0f, 4.5f, 6.0f, 8.25f};
    for (float fak : {0.0f, 100.0f}) {
        rf::reset_model();
        d.FAKH = d.FAKV = fak;
        rf::write_diffusion_file(dir.file("k.dif"), d);
        EXPECT_EQ(std::filesystem::file_size(dir.file("k.dif")), 52u + (fak == 0 ? 4u : 2u) * 11u);
        CapturedConsole con;
        rf::GET_DIF(dir.file("k.dif"));
        std::vector<float> kx(3), ky(4), kz(4);
        rf::GET_KKK(kx, 3, 1, 1);
        rf::GET_KKK(ky, 2, 2, 1);
        rf::GET_KKK(kz, 2, 1, 2);
        EXPECT_EQ(kx, d.KX);
        EXPECT_EQ(ky, d.KY);
        EXPECT_EQ(kz, d.KZ);
    }
    rf::reset_model();
}

TEST(ResultWriter, ObstacleFilesFollowTheirLayout) {
    rf::ObstacleFileImage o;
    o.version = 2.1f;
    o.program = "QEM 4.1";
    o.title = "Hindernisse";
    o.gebdat = "haus.dat";
    o.NX = 10;
    o.NY = 8;
    o.NZ = 2;
    o.X0 = 50.0f;
    o.Y0 = 60.0f;
    o.DX = 2.0f;
    o.DY = 3.0f;
    o.DZK = {1.0f, 2.0f};
    o.massive = {{1, 2, 3, 4, 1, 2, 1}, {5, 6, 1, 2, 2, 2, 1}, {7, 7, 7, 7, 1, 1, 1}};
    o.porous = {{2, 3, 5, 6, 1, 1, 4}, {8, 9, 1, 1, 1, 2, 4}};

    Bytes b;
    b.f32(2.1f).text("QEM 4.1", 32).text("Hindernisse", 80).text("", 128).text("haus.dat", 128);
    b.text("", 128).text("", 128).text("", 128);
    b.i32(10).i32(8).i32(2).f32s({50.0f, 60.0f, 2.0f, 3.0f, 1.0f, 2.0f}).i32(3).i32(0).i32(2);
    for (const auto* group : {&o.massive, &o.porous})
        for (const auto& r : *group)
            for (std::int16_t v : {r.IGA, r.IGE, r.JGA, r.JGE, r.KGA, r.KGE, r.HTYP}) b.i16(v);
    const std::string bytes = rf::encode_obstacle_file(o);
    EXPECT_EQ(bytes, b.str());
    // 5 records of 14 bytes after the counts.
    EXPECT_EQ(bytes.size() - (4 + 32 + 80 + 5 * 128 + 12 + 24 + 12), 70u);

    // TRZ: one name, no title, no orographic count.
    o.program = "TRZ 2.0";
    o.version = 2.0f;
    Bytes t;
    t.f32(2.0f).text("TRZ 2.0", 32).text("haus.dat", 32);
    t.i32(10).i32(8).i32(2).f32s({50.0f, 60.0f, 2.0f, 3.0f, 1.0f, 2.0f}).i32(3).i32(2);
    for (const auto* group : {&o.massive, &o.porous})
        for (const auto& r : *group)
            for (std::int16_t v : {r.IGA, r.IGE, r.JGA, r.JGE, r.KGA, r.KGE, r.HTYP}) t.i16(v);
    EXPECT_EQ(rf::encode_obstacle_file(o), t.str());
}

}  // namespace
