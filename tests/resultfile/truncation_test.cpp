// Untrusted files: a result file cut at any byte, dimensions that are not
// positive, overflow or claim more than the file holds, all end the run with a
// message that names the routine and the file, before anything is allocated.
#include <gtest/gtest.h>

#include "result_image.h"
#include "resultfile/fields.h"
#include "resultfile/header.h"
#include "resultfile/model.h"

namespace rf = resultfile;
using namespace testing_support;

namespace {

// Patches a 32-bit integer into a byte image.
std::string with_int_at(std::string bytes, std::size_t offset, std::int32_t v) {
    Bytes b;
    b.i32(v);
    bytes.replace(offset, 4, b.str());
    return bytes;
}

std::size_t dimension_offset(const ResultSpec& s) {
    return 4 + 32 + 80 + (s.family == "TRZ" ? 2 : 5) * (s.version < 2.099f ? 32 : 128);
}

class UntrustedResultFile : public ::testing::Test {
protected:
    void SetUp() override { rf::reset_model(); }
    void TearDown() override { rf::reset_model(); }
    ScratchDir dir;
};

TEST_F(UntrustedResultFile, EveryTruncationPointIsAFatalErrorNamingTheFile) {
    for (float version : {2.1f, 1.6f}) {
        for (const char* family : {"QEM", "TRZ"}) {
            ResultSpec spec;
            spec.version = version;
            spec.family = family;
            const std::string full = result_bytes(spec);
            for (std::size_t n = 0; n < full.size(); ++n) {
                dir.write("cut.ERG", full.substr(0, n));
                // Read whole, or by section as a picture reads it: the same refusal.
                std::string msg[2];
                for (bool by_section : {false, true}) {
                    rf::reset_model();
                    CapturedConsole con("j\n");
                    try {
                        read_result_file(dir.file("cut.ERG"), by_section);
                    } catch (const platform::Fatal& f) {
                        msg[by_section] = f.what();
                    }
                }
                ASSERT_NE(msg[0].find("-F-"), std::string::npos) << family << " " << version << " cut at " << n;
                ASSERT_NE(msg[0].find("cut.ERG"), std::string::npos) << msg[0];
                ASSERT_EQ(msg[1], msg[0]) << family << " " << version << " cut at " << n;
            }
        }
    }
}

TEST_F(UntrustedResultFile, DimensionsMustBePositive) {
    ResultSpec spec;
    const std::size_t at = dimension_offset(spec);
    for (std::size_t which = 0; which < 3; ++which) {
        for (std::int32_t bad : {0, -5}) {
            rf::reset_model();
            dir.write("dim.ERG", with_int_at(result_bytes(spec), at + 4 * which, bad));
            CapturedConsole con;
            std::string msg = fatal_message([&] { read_result_file(dir.file("dim.ERG")); });
            EXPECT_NE(msg.find("GQEM_DIM-F-"), std::string::npos) << msg;
            EXPECT_NE(msg.find("ungültige Dimensionen"), std::string::npos) << msg;
            EXPECT_NE(msg.find("dim.ERG"), std::string::npos) << msg;
        }
    }
}

TEST_F(UntrustedResultFile, DimensionsThatClaimMoreThanTheFileHoldsAreRefused) {
    ResultSpec spec;
    const std::size_t at = dimension_offset(spec);
    // Huge products that overflow 64 bits, large ones that do not, and one cell too many.
    const std::int32_t cases[][3] = {{2147483647, 2147483647, 2147483647}, {65536, 65536, 4096}, {4, 2, 2},
                                     {3, 2, 3}};
    for (const auto& d : cases) {
        rf::reset_model();
        std::string bytes = result_bytes(spec);
        bytes = with_int_at(bytes, at, d[0]);
        bytes = with_int_at(bytes, at + 4, d[1]);
        bytes = with_int_at(bytes, at + 8, d[2]);
        dir.write("gross.ERG", bytes);
        CapturedConsole con;
        std::string msg = fatal_message([&] { read_result_file(dir.file("gross.ERG")); });
        EXPECT_NE(msg.find("GQEM_DIM-F-Datei "), std::string::npos) << msg;
        EXPECT_NE(msg.find("gross.ERG ist zu kurz"), std::string::npos) << msg;
        EXPECT_EQ(rf::grid().XU.n(), 0);
    }
}

TEST_F(UntrustedResultFile, GridWidthsMustBePositiveAndFinite) {
    for (float bad : {0.0f, -5.0f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()}) {
        rf::reset_model();
        ResultSpec spec;
        spec.DZK = {2.0f, bad};
        dir.write("dz.ERG", result_bytes(spec));
        CapturedConsole con;
        std::string msg = fatal_message([&] { read_result_file(dir.file("dz.ERG")); });
        EXPECT_NE(msg.find("GQEM_GRD-F-Datei "), std::string::npos) << msg;
    }
}

TEST_F(UntrustedResultFile, ADirectoryIsNoResultFile) {
    CapturedConsole con;
    std::filesystem::create_directory(dir.path() / "ordner.ERG");
    EXPECT_NE(fatal_message([&] { read_result_file(dir.file("ordner.ERG")); }).find("Ergebnisdatei existiert nicht!"),
              std::string::npos);
}

}  // namespace
