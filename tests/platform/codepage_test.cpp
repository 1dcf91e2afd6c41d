#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace {

TEST(CodePage, ConvertsTheUmlautsOfBothSingleByteCodePages) {
    // "Grüße Ä Ö Ü ä ö" in code page 850 and in ISO 8859-1.
    const std::string cp850 = "Gr\x81\xE1" "e \x8E \x99 \x9A \x84 \x94";
    const std::string latin1 = "Gr\xFC\xDF" "e \xC4 \xD6 \xDC \xE4 \xF6";
    EXPECT_EQ(platform::cp850_to_utf8(cp850), "Grüße Ä Ö Ü ä ö");
    EXPECT_EQ(platform::latin1_to_utf8(latin1), "Grüße Ä Ö Ü ä ö");
    EXPECT_EQ(platform::cp850_to_utf8("\xB3"), "│");
    EXPECT_EQ(platform::cp850_to_utf8("\xFC"), "³");
    EXPECT_EQ(platform::utf8_to_cp850("Grüße ³ €"), "Gr\x81\xE1" "e \xFC ?");
}

TEST(CodePage, KeepsValidUtf8AndRejectsMalformedSequences) {
    EXPECT_EQ(platform::to_utf8("Höhe"), "Höhe");
    EXPECT_EQ(platform::to_utf8("H\x94he"), "Höhe");
    EXPECT_EQ(platform::to_utf8("H\xF6he", platform::CodePage::Latin1), "Höhe");
    EXPECT_FALSE(platform::is_valid_utf8("\xC3"));
    EXPECT_FALSE(platform::is_valid_utf8("\xC0\xAF"));      // overlong "/"
    EXPECT_FALSE(platform::is_valid_utf8("\xED\xA0\x80"));  // surrogate
    EXPECT_TRUE(platform::is_valid_utf8("\xE2\x82\xAC"));
}

TEST(CodePage, DecodesPlotTextFromAnyOfTheThreeEncodings) {
    const std::u32string expected = U"Grüße";
    EXPECT_EQ(platform::decode_text("Grüße"), expected);
    EXPECT_EQ(platform::decode_text("Gr\x81\xE1" "e"), expected);
    EXPECT_EQ(platform::decode_text("Gr\xFC\xDF" "e"), expected);
    EXPECT_EQ(platform::decode_text("\x8E\x99\x9A\x84\x94\x81\xE1"), U"ÄÖÜäöüß");
    EXPECT_EQ(platform::decode_text("\xC4\xD6\xDC\xE4\xF6\xFC\xDF"), U"ÄÖÜäöüß");
}

}  // namespace
