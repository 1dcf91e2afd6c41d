#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace {

using platform::CodePage;

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
    EXPECT_EQ(platform::to_utf8("H\xF6he"), "Höhe");
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

struct Title {
    const char* bytes;
    CodePage unset, with850, with8859;  // the choice without MURAL_CODEPAGE, and forced by it
};
void PrintTo(const Title& t, std::ostream* os) { *os << platform::to_utf8(t.bytes); }

class TitleCodePage : public ::testing::TestWithParam<Title> {};

TEST_P(TitleCodePage, ChoiceWithAndWithoutTheVariable) {
    const Title& t = GetParam();
    // An unknown value forces nothing, like an empty one; blanks around a value do not matter.
    const char* settings[] = {"437", "", "850", " 8859-1 "};
    const CodePage expected[] = {t.unset, t.unset, t.with850, t.with8859};
    for (int k = 0; k < 4; ++k) {
        setenv("MURAL_CODEPAGE", settings[k], 1);
        EXPECT_EQ(platform::text_code_page(t.bytes), expected[k]) << settings[k];
    }
    unsetenv("MURAL_CODEPAGE");
}

constexpr CodePage CP850 = CodePage::CP850, Latin1 = CodePage::Latin1, UTF8 = CodePage::UTF8;

INSTANTIATE_TEST_SUITE_P(Titles, TitleCodePage,
                         ::testing::Values(Title{"Testlauf 3", Latin1, CP850, Latin1},
                                           Title{"Gr\xFC\xDF" "e \xC4\xD6", Latin1, CP850, Latin1},
                                           Title{"Gr\x81\xE1" "e", CP850, CP850, Latin1},
                                           Title{"Stra\xE1" "e", CP850, CP850, Latin1},  // á in ISO 8859-1
                                           Title{"Grüße", UTF8, UTF8, UTF8}));

}  // namespace
