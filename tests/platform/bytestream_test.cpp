#include <gtest/gtest.h>

#include "platform/bytestream.h"
#include "platform/checked.h"
#include "test_support.h"

using namespace testing_support;

namespace {

TEST(ByteReader, ShortFilesAreFatalAndNameRoutineAndFile) {
    ScratchDir dir;
    dir.write("k.bin", std::string("\x01\x02\x03", 3));
    platform::ByteReader r;
    EXPECT_FALSE(r.open(dir.file("fehlt.bin")));
    EXPECT_FALSE(r.open(dir.path().string()));  // a directory
    ASSERT_TRUE(r.open(dir.file("k.bin")));
    r.set_routine("TESTER");
    std::string msg = fatal_message([&] { r.read_i32(); });
    EXPECT_EQ(msg.rfind("TESTER-F-Datei " + dir.file("k.bin") + " ist zu kurz", 0), 0u) << msg;
    EXPECT_EQ(r.position(), 0u);
    std::vector<float> many(1000);
    EXPECT_NE(fatal_message([&] { r.read_f32s(many); }).find("1000 Gleitkommazahlen"), std::string::npos);
    EXPECT_NE(fatal_message([&] { r.require(1ull << 62, "alles"); }).find("alles"), std::string::npos);
    EXPECT_NE(fatal_message([&] { r.seek(4); }).find("TESTER-F-"), std::string::npos);
}

TEST(ByteReader, ReadsLittleEndianValues) {
    ScratchDir dir;
    Bytes b;
    b.i32(-2).i16(-300).f32(1.5f).i32(0).text("ab", 4).f32s({1.0f, -2.0f, 3.25f}).i16(7).i16(-8);
    dir.write("v.bin", b.str());
    platform::ByteReader r;
    ASSERT_TRUE(r.open(dir.file("v.bin")));
    EXPECT_EQ(r.size(), b.size());
    EXPECT_EQ(r.read_i32(), -2);
    EXPECT_EQ(r.read_i16(), -300);
    EXPECT_FLOAT_EQ(r.read_f32(), 1.5f);
    EXPECT_FALSE(r.read_logical());
    EXPECT_EQ(r.read_text(4), "ab  ");
    std::vector<float> f(3);
    r.read_f32s(f);
    EXPECT_EQ(f, (std::vector<float>{1.0f, -2.0f, 3.25f}));
    std::vector<std::int16_t> s(2);
    r.read_i16s(s);
    EXPECT_EQ(s, (std::vector<std::int16_t>{7, -8}));
    EXPECT_EQ(r.remaining(), 0u);
    r.seek(0);
    EXPECT_EQ(r.read_i32(), -2);
}

TEST(ByteWriter, WritesTheSameBytesAsTheLayout) {
    platform::ByteWriter w;
    w.put_i32(-2);
    w.put_i16(-300);
    w.put_f32(1.5f);
    w.put_logical(true);
    w.put_text("abcdef", 4);
    w.put_text("x", 3);
    Bytes b;
    b.i32(-2).i16(-300).f32(1.5f).i32(1).text("abcd", 4).text("x", 3);
    EXPECT_EQ(w.bytes(), b.str());
}

TEST(CheckedArithmetic, ReportsOverflowAndNonPositiveDimensions) {
    EXPECT_FALSE(platform::checked_volume(2147483647, 2147483647, 2147483647).has_value());
    EXPECT_FALSE(platform::checked_volume(0, 5, 5).has_value());
    EXPECT_FALSE(platform::checked_volume(5, -1, 5).has_value());
    EXPECT_EQ(platform::checked_volume(401, 400, 40).value(), 6416000u);
    EXPECT_FALSE(platform::checked_mul(1ull << 63, 2).has_value());
    EXPECT_FALSE(platform::checked_add(~0ull, 1).has_value());
}

}  // namespace
