#include <gtest/gtest.h>

#include "result_image.h"
#include "resultfile/fields.h"
#include "resultfile/header.h"
#include "resultfile/model.h"
#include "resultfile/sections.h"

namespace rf = resultfile;
using namespace testing_support;

namespace {

class DiffusionReader : public ::testing::Test {
protected:
    void SetUp() override { rf::reset_model(); }
    void TearDown() override { rf::reset_model(); }

    // Reads the header and the three coefficient fields with the extents of
    // (nx, ny, nz): at once, or by section as a picture reads them.
    static void read_coefficients(const std::string& file, int nx, int ny, int nz, bool by_section = false) {
        rf::GET_DIF(file);
        if (by_section) {
            rf::grid().NX = nx, rf::grid().NY = ny, rf::grid().NZ = nz;
            rf::read_coefficients_by_section();
            rf::read_field_levels(1, nz);
            return;
        }
        auto& m = rf::model_fields();
        m.KX.resize(nx + 1, ny, nz);
        rf::GET_KKK(m.KX.span(), nx + 1, ny, nz);
        m.KY.resize(nx, ny + 1, nz);
        rf::GET_KKK(m.KY.span(), nx, ny + 1, nz);
        m.KZ.resize(nx, ny, nz + 1);
        rf::GET_KKK(m.KZ.span(), nx, ny, nz + 1);
    }

    ScratchDir dir;
};

TEST_F(DiffusionReader, RefusesBadOrderMissingFileAndBadFactors) {
    CapturedConsole con;
    float f[8];
    EXPECT_EQ(fatal_message([&] { rf::GET_KKK(f, 2, 2, 2); }), "GQEM_KKK-falsche Aufrufreihenfoge");
    EXPECT_EQ(fatal_message([&] { rf::GET_DIF(dir.file("fehlt.dif")); }),
              " MURAL-F-Datei " + dir.file("fehlt.dif") + " konnte nicht geöffnet werden. Unterprogramm GQEM_DIF");

    // Packed with FAKV = 0 would divide KZ by zero.
    dir.write("v0.dif", diffusion_bytes(2, 2, 1, 100.0f, 0.0f, true));
    std::string msg = fatal_message([&] { read_coefficients(dir.file("v0.dif"), 2, 2, 1); });
    EXPECT_NE(msg.find("GQEM_DIF-F-"), std::string::npos) << msg;
    EXPECT_NE(msg.find("FAKV = 0"), std::string::npos) << msg;

    for (int bad : {0, -1}) {
        dir.write("dim.dif", diffusion_bytes(2, 2, 1, 0.0f, 0.0f, false).replace(36, 4, Bytes().i32(bad).str()));
        msg = fatal_message([&] { read_coefficients(dir.file("dim.dif"), 2, 2, 1); });
        EXPECT_NE(msg.find("ungültige Dimensionen LX,LY,LZ"), std::string::npos) << msg;
    }
}

TEST_F(DiffusionReader, EveryTruncationPointIsAFatalErrorNamingTheFile) {
    for (bool packed : {false, true}) {
        const std::string full = diffusion_bytes(2, 3, 2, packed ? 100.0f : 0.0f, packed ? 10.0f : 0.0f, packed);
        for (std::size_t n = 0; n < full.size(); ++n) {
            dir.write("cut.dif", full.substr(0, n));
            // Read whole, or by section as a picture reads it: the same refusal.
            std::string msg[2];
            for (bool by_section : {false, true}) {
                rf::reset_model();
                CapturedConsole con;
                msg[by_section] = fatal_message([&] { read_coefficients(dir.file("cut.dif"), 2, 3, 2, by_section); });
            }
            ASSERT_NE(msg[0].find("-F-"), std::string::npos) << n;
            ASSERT_NE(msg[0].find("cut.dif"), std::string::npos) << msg[0];
            ASSERT_EQ(msg[1], msg[0]) << n;
        }
    }
}

TEST_F(DiffusionReader, PackedValuesAreDividedByTheirFactors) {
    CapturedConsole con;
    dir.write("p.dif", diffusion_bytes(2, 2, 1, 100.0f, 10.0f, true));
    for (bool by_section : {true, false}) {
        rf::reset_model();
        read_coefficients(dir.file("p.dif"), 2, 2, 1, by_section);
        const rf::ModelFields& m = rf::model_fields();
        // The stored 250 is the first value of every field.
        EXPECT_FLOAT_EQ(m.KX(1, 1, 1), 2.5f);
        EXPECT_FLOAT_EQ(m.KY(1, 1, 1), 2.5f);
        EXPECT_FLOAT_EQ(m.KZ(1, 1, 1), 25.0f);
        EXPECT_FLOAT_EQ(m.KX(3, 2, 1), 2.55f);
        EXPECT_FLOAT_EQ(m.KZ(2, 2, 2), 25.7f);
        EXPECT_EQ(rf::reader_state().LEVEL_D, 0);
    }
    const std::string out = con.out();
    for (const char* text : {" - GQEM_DIF - V1.11 ", " Diffusionskoeffizienten aus dem Programmlauf QEM Diffusion Testlauf",
                             " gepacktes Datenformat", " GQEM-KKK-level=1", "NX,NY,NZ: 3 2 1", " KX-Feld eingelesen",
                             " KY-Feld eingelesen", " KZ-Feld eingelesen"})
        EXPECT_NE(out.find(text), std::string::npos) << text;
    float f[8];
    EXPECT_EQ(fatal_message([&] { rf::GET_KKK(f, 2, 2, 2); }), "GQEM_KKK-falsche Aufrufreihenfoge");
}

TEST_F(DiffusionReader, UnpackedValuesAreReadAsReals) {
    CapturedConsole con;
    // FAKH = 0 with FAKV set: reported as packed, but the values are reals.
    dir.write("u.dif", diffusion_bytes(2, 2, 1, 0.0f, 10.0f, false));
    read_coefficients(dir.file("u.dif"), 2, 2, 1);
    EXPECT_NE(con.out().find(" gepacktes Datenformat"), std::string::npos);
    EXPECT_FLOAT_EQ(rf::model_fields().KX(2, 1, 1), 0.001f);
    EXPECT_FLOAT_EQ(rf::model_fields().KZ(1, 1, 2), 1.0f + 0.004f);

    rf::reset_model();
    CapturedConsole plain;
    dir.write("r.dif", diffusion_bytes(2, 2, 1, 0.0f, 0.0f, false));
    read_coefficients(dir.file("r.dif"), 2, 2, 1);
    EXPECT_EQ(plain.out().find("gepackt"), std::string::npos);
}

TEST_F(DiffusionReader, DimensionsThatDifferFromTheResultFileAreReported) {
    CapturedConsole con;
    dir.write("run.ERG", result_bytes(ResultSpec()));
    std::string mname;
    rf::GET_HEAD(dir.file("run.ERG"), false, mname);
    int nx, ny, nz, kg;
    rf::GET_DIM(nx, ny, nz, kg);
    // A file for a larger grid holds enough bytes for the result file's extents.
    dir.write("anders.dif", diffusion_bytes(4, 2, 2, 0.0f, 0.0f, false));
    read_coefficients(dir.file("anders.dif"), nx, ny, nz);
    EXPECT_NE(con.out().find(" GQEM_DIF-W-Dimensionen LX,LY,LZ = 4 2 2"), std::string::npos) << con.out();
    EXPECT_NE(con.out().find("NX,NY,NZ = 3 2 2"), std::string::npos);

    // A file for a smaller grid runs short; the size check guards the reading.
    rf::reset_model();
    rf::GET_HEAD(dir.file("run.ERG"), false, mname);
    rf::GET_DIM(nx, ny, nz, kg);
    dir.write("klein.dif", diffusion_bytes(1, 1, 1, 0.0f, 0.0f, false));
    std::string msg = fatal_message([&] { read_coefficients(dir.file("klein.dif"), nx, ny, nz); });
    EXPECT_NE(msg.find("GQEM_KKK-F-Datei "), std::string::npos) << msg;
    EXPECT_NE(msg.find("klein.dif ist zu kurz"), std::string::npos) << msg;
}

TEST_F(DiffusionReader, DebugModeShowsTheDimensions) {
    CapturedConsole con;
    dir.write("run.ERG", result_bytes(ResultSpec()));
    std::string mname;
    rf::GET_HEAD(dir.file("run.ERG"), true, mname);
    dir.write("d.dif", diffusion_bytes(3, 2, 2, 0.0f, 0.0f, false));
    rf::GET_DIF(dir.file("d.dif"));
    EXPECT_NE(con.out().find(" GQEM_DIF-LX,LY,LZ: 3 2 2"), std::string::npos);
}

}  // namespace
