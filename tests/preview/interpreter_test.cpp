// The interpreter against a recording canvas: broken streams first, then
// hand-written instructions with known strokes and fills in page millimetres.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "preview/hpgl.h"
#include "test_support.h"

using preview::Fill;
using preview::FillKind;
using preview::Pen;
using preview::Rgb;
using preview::Subpath;
using testing_support::fatal_message;

namespace {

struct Operation {
    bool fill = false;
    std::vector<Subpath> path;
    Pen pen;
    Fill area;
};

class Recorder : public preview::Canvas {
public:
    std::vector<preview::PageStart> pages;
    std::vector<Operation> ops;
    int ended = 0;
    void begin_page(const preview::PageStart& p) override { pages.push_back(p); }
    void stroke(std::span<const Subpath> path, const Pen& pen) override {
        ops.push_back({false, {path.begin(), path.end()}, pen, {}});
    }
    void fill(std::span<const Subpath> path, const Fill& f) override {
        ops.push_back({true, {path.begin(), path.end()}, {}, f});
    }
    void end_page() override { ++ended; }
};

struct Recording {
    Recorder rec;
    std::vector<std::string> warnings;
};

Recording run(const std::string& hpgl) {
    Recording r;
    preview::interpret(hpgl, r.rec, [&](std::string_view w) { r.warnings.emplace_back(w); });
    return r;
}

// mm of plotter units
float mm(double units) { return static_cast<float>(units / 40.2); }

TEST(PreviewInterpreter, BrokenStreamsAreFatalWithAClearMessage) {
    struct Case {
        std::string stream, message;
    };
    const Case cases[] = {
        {"", "keine HP-GL-Befehle"},
        {"  ;\n", "keine HP-GL-Befehle"},
        {std::string("IN;PD\x80\x81;PG;"), "unerwartetes Zeichen 0x80 bei Byte 6"},
        {"hello world", "unerwartetes Zeichen 0x20"},
        {"IN;SP1;PU0,0;PD100,100,200", "endet vor dem Seitenende"},
        {"IN;SP1;PD100,100;PG;PD5,5", "endet vor dem Seitenende"},
        {"IN;P", "mitten in einem Befehl"},
        {"IN;PD12345678901234,0;PG;", "Zahl außerhalb des Bereichs"},
        {"IN;PD-,4;PG;", "unerwartetes Zeichen 0x2D"},
        {"IN;LBno terminator", "mitten in einem Befehl"},
        {"IN;BP1,\"unclosed;PG;", "mitten in einem Befehl"},
        {"\x1b%-1", "mitten in einem Befehl"},
        {"\x1bZ;PG;", "unerwartetes Zeichen 0x1B bei Byte 1"},
        {std::string("IN;PD1,2\0;PG;", 13), "unerwartetes Zeichen 0x00"},
    };
    for (const Case& c : cases) {
        Recorder rec;
        std::string msg = fatal_message([&] { preview::interpret(c.stream, rec, {}); });
        EXPECT_NE(msg.find("PREVIEW-F-"), std::string::npos) << c.stream;
        EXPECT_NE(msg.find(c.message), std::string::npos) << c.stream << " -> " << msg;
    }
}

TEST(PreviewInterpreter, UnknownInstructionsAreSkippedWithOneWarningEach) {
    Recording r = run("IN;ZZ1,2;SP1;ZZ;QQ;PU0,0;PD402,0;LBtext\x03PG;");
    ASSERT_EQ(r.warnings.size(), 3u);
    EXPECT_EQ(r.warnings[0], "PREVIEW-W-unbekannter Befehl ZZ übersprungen");
    EXPECT_EQ(r.warnings[1], "PREVIEW-W-unbekannter Befehl QQ übersprungen");
    EXPECT_NE(r.warnings[2].find("LB"), std::string::npos);
    // The line after the unknown instructions is drawn all the same.
    ASSERT_EQ(r.rec.ops.size(), 1u);
    EXPECT_FLOAT_EQ(r.rec.ops[0].path[0].points[1].x, 10.0f);
}

TEST(PreviewInterpreter, PolylinesAbsoluteAndRelativeBecomeOneStrokeEach) {
    Recording r = run("\x1b%-1BBPIN;PS31400,22450;PW0SP1;PU100,200;PD300,200,300,400PU;PR10,10;PD0,50,50,0;PG;");
    EXPECT_TRUE(r.warnings.empty());
    ASSERT_EQ(r.rec.pages.size(), 1u);
    EXPECT_FALSE(r.rec.pages[0].portrait);
    EXPECT_EQ(r.rec.ended, 1);
    ASSERT_EQ(r.rec.ops.size(), 2u);
    const auto& a = r.rec.ops[0].path[0].points;
    ASSERT_EQ(a.size(), 3u);
    EXPECT_FLOAT_EQ(a[0].x, mm(100));
    EXPECT_FLOAT_EQ(a[0].y, mm(200));
    EXPECT_FLOAT_EQ(a[2].x, mm(300));
    EXPECT_FLOAT_EQ(a[2].y, mm(400));
    EXPECT_EQ(r.rec.ops[0].pen.width_mm, 0.0);
    EXPECT_EQ(r.rec.ops[0].pen.colour, (Rgb{0, 0, 0}));
    const auto& b = r.rec.ops[1].path[0].points;
    ASSERT_EQ(b.size(), 3u);
    EXPECT_FLOAT_EQ(b[0].x, mm(310));
    EXPECT_FLOAT_EQ(b[1].y, mm(460));
    EXPECT_FLOAT_EQ(b[2].x, mm(360));
}

TEST(PreviewInterpreter, PaletteRangeWidthsAndLineTypes) {
    Recording r = run("IN;NP16CR0,100,0,200,0,255PC3,50,200,0PW0.5,3SP3;UL8,25,25,50LT8,4.,1;"
                "PD10,0;LT;SP2;PD20,0;PG;");
    ASSERT_EQ(r.rec.ops.size(), 2u);
    const Pen& p = r.rec.ops[0].pen;
    EXPECT_EQ(p.colour, (Rgb{0.5, 1.0, 0.0}));
    EXPECT_DOUBLE_EQ(p.width_mm, 0.5);
    ASSERT_EQ(p.dashes.size(), 3u);
    EXPECT_DOUBLE_EQ(p.dashes[0], 1.0);
    EXPECT_DOUBLE_EQ(p.dashes[1], 1.0);
    EXPECT_DOUBLE_EQ(p.dashes[2], 2.0);
    // Pen 2 keeps the default red and width; LT; draws solid.
    const Pen& q = r.rec.ops[1].pen;
    EXPECT_EQ(q.colour, (Rgb{1, 0, 0}));
    EXPECT_DOUBLE_EQ(q.width_mm, 0.35);
    EXPECT_TRUE(q.dashes.empty());
}

TEST(PreviewInterpreter, PolygonModeFillsHatchesAndOutlinesSubpolygons) {
    // An outer square with a square hole, hatched at 30 degrees every 80 units,
    // then its outline; the pen-up move to the hole is no edge.
    Recording r = run("IN;SP1;FT3,80,30PU0,0PM0PD4020,0,4020,4020,0,4020PM1PU1005,1005PD3015,1005,3015,3015,1005,3015"
                "PM2FPEPFT;PU0,0;RA402,804;PG;");
    ASSERT_EQ(r.rec.ops.size(), 3u);
    const Operation& f = r.rec.ops[0];
    ASSERT_TRUE(f.fill);
    EXPECT_EQ(f.area.kind, FillKind::hatch);
    EXPECT_TRUE(f.area.even_odd);
    EXPECT_DOUBLE_EQ(f.area.spacing_mm, 80 / 40.2);
    EXPECT_DOUBLE_EQ(f.area.angle_deg, 30.0);
    ASSERT_EQ(f.path.size(), 2u);
    EXPECT_EQ(f.path[0].points.size(), 4u);
    EXPECT_EQ(f.path[1].points.size(), 4u);
    EXPECT_FLOAT_EQ(f.path[1].points[0].x, mm(1005));
    const Operation& e = r.rec.ops[1];
    ASSERT_FALSE(e.fill);
    ASSERT_EQ(e.path.size(), 2u);
    EXPECT_TRUE(e.path[0].closed && e.path[1].closed);
    // The rectangle after FT; is solid, from the pen position to the corner.
    const Operation& ra = r.rec.ops[2];
    ASSERT_TRUE(ra.fill);
    EXPECT_EQ(ra.area.kind, FillKind::solid);
    ASSERT_EQ(ra.path[0].points.size(), 4u);
    EXPECT_FLOAT_EQ(ra.path[0].points[2].x, 10.0f);
    EXPECT_FLOAT_EQ(ra.path[0].points[2].y, 20.0f);
}

TEST(PreviewInterpreter, CirclesAloneAndAsPolygons) {
    Recording r = run("IN;SP1;PU804,804;CI402;PU1608,804;PM0CI201PM2FT4,40,45FP;PG;");
    ASSERT_EQ(r.rec.ops.size(), 2u);
    const Subpath& c = r.rec.ops[0].path[0];
    EXPECT_FALSE(r.rec.ops[0].fill);
    EXPECT_FLOAT_EQ(c.radius, 10.0f);
    EXPECT_FLOAT_EQ(c.points[0].x, 20.0f);
    const Operation& f = r.rec.ops[1];
    ASSERT_TRUE(f.fill);
    EXPECT_EQ(f.area.kind, FillKind::cross_hatch);
    ASSERT_EQ(f.path.size(), 1u);  // the centre alone is no subpolygon
    EXPECT_FLOAT_EQ(f.path[0].radius, 5.0f);
    EXPECT_FLOAT_EQ(f.path[0].points[0].x, 40.0f);
}

TEST(PreviewInterpreter, RotationSetsTheOrientationOfEachPage) {
    Recording r = run("IN;RO90;PD10,10;PG;PG;IN;PD5,5;PG;IN;RO270;PD1,1;PG;");
    ASSERT_EQ(r.rec.pages.size(), 3u);  // the empty page is left out
    EXPECT_TRUE(r.rec.pages[0].portrait);
    EXPECT_FALSE(r.rec.pages[1].portrait);
    EXPECT_TRUE(r.rec.pages[2].portrait);
    EXPECT_EQ(r.rec.pages[2].index, 2);
    EXPECT_EQ(r.rec.ended, 3);
}

}  // namespace
