#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mapelements/background.h"
#include "platform/fatal.h"
#include "test_support.h"

using namespace testing_support;

namespace {

struct Read {
    int status = -1;
    float north = -1.0f;
    std::string out, error;
};

// DEFDIG on a definition file of the given text, with console answers.
Read defdig(const std::string& text, const std::string& answers = "") {
    ScratchDir dir;
    dir.write("LESDIG.DEF", text);
    CapturedConsole console(answers);
    mapelements::reset_background();
    Read r;
    try {
        mapelements::DEFDIG(dir.file("LESDIG.DEF"), r.north, r.status);
    } catch (const platform::Fatal& f) {
        r.error = f.what();
    }
    r.out = console.out();
    return r;
}

std::string classes(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += "ZE=" + std::string(1, static_cast<char>('a' + i)) + ",P,1,0.1,0,0,x\n";
    return text;
}

}  // namespace

TEST(BackgroundDefinition, RefusesWhatCannotBeDrawn) {
    const std::pair<std::string, std::string> cases[] = {
        {"ZE=a,X,3,0.3,1,0,Strassen\n", " DEFDIG-F-falsche Form (X) nur P,R,K,S und T zulässig!"},
        {"ZE=a,P,41,0.3,1,0,Strassen\n", " DEFDIG-F-nur Stifte 0 bis 40 zulässig, IPEN=41"},
        {"ZE=a,P,3,0.3,4,0,Strassen\n", " DEFDIG-F-nur Linienart 1-3 zulässig, MODE=4"},
        {"ZE={,P,3,0.3,1,0,Klammer\n", " DEFDIG-F-nur ASCII-Zeichen a bis z für Kennung verwenden"},
        {"ZE=a,P,drei,0.3,1,0,Strassen\n", " DEFDIG-F-Zeile  1: Kennung, Form, Stift, Dicke, Linienart, Muster und Text "
                                           "erwartet <<ZE=a,P,drei,0.3,1,0,Strassen>>"},
        {classes(23), "DEFDIG-F-zuviele Angaben, NKEN erhöhen"},
        {"TI=nur ein Titel\n", "DEFDIG-F-keine Angaben zu Kennungen?"},
    };
    for (const auto& [text, message] : cases) EXPECT_EQ(defdig(text).error, message) << text;
    // A file that is not there is no definition.
    mapelements::reset_background();
    CapturedConsole console;
    float north = 7.0f;
    int status = 0;
    mapelements::DEFDIG("/nonexistent/LESDIG.DEF", north, status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(north, 7.0f);
    EXPECT_FALSE(mapelements::background().read);
    EXPECT_NE(console.out().find(" DEFDIG-W-Datei /nonexistent/LESDIG.DEF nicht gefunden!"), std::string::npos);
}

TEST(BackgroundDefinition, ReadsEveryKey) {
    const std::string text =
        "! Hintergrund\n"
        "\n"
        "IN=1\n"
        "ti=Lageplan ! mit Kommentar\n"
        "wn=12.5\n"
        "DI=?\n"
        "ZE=a,P,3,0.3,1,0,Strassen\n"
        "ZE=s S 2 0.2 0 7 'Bäume'\n"
        "ZE=n,T,1,0,0,0,!Namen\n"
        "ZE=w,P,4,1e6,0,-1,Wasser\n"
        "LA=k\n"
        "ZH=0\n"
        "ZH=3.5\n"
        "LE=Karte\n"
        "LI=ab\n"
        "RW=100.5\n"
        "HW=-20\n"
        "XX=unbekannt\n"
        "LE=\n";
    Read r = defdig(text, "karte.dig\n\n");
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_FLOAT_EQ(r.north, 12.5f);
    const mapelements::BackgroundDefinition& b = mapelements::background();
    EXPECT_EQ(b.title, "Lageplan");
    EXPECT_EQ(b.DIGDAT, "karte.dig");
    ASSERT_EQ(b.classes.size(), 4u);
    const mapelements::BackgroundClass& a = b.classes[0];
    EXPECT_EQ(std::string({a.id, a.form}), "aP");
    EXPECT_EQ(a.IPEN, 3);
    EXPECT_FLOAT_EQ(a.DICK, 0.3f);
    EXPECT_EQ(a.MODE, 1);
    EXPECT_EQ(a.IPAT, 0);
    EXPECT_EQ(a.LDSC, "Strassen");
    EXPECT_EQ(b.classes[1].MODE, 7);  // a symbol's pattern is its number
    EXPECT_EQ(b.classes[1].LDSC, "Bäume");
    EXPECT_EQ(b.classes[2].LDSC, "");  // "!" begins a comment: no legend entry
    EXPECT_FLOAT_EQ(b.classes[3].DICK, 5.0f);  // a line of 1e6 mm would paint the page
    EXPECT_EQ(b.arrangement, 2);
    EXPECT_FLOAT_EQ(b.ZHLEG, 3.5f);
    EXPECT_EQ(b.headings, std::vector<std::string>{"Karte"});
    EXPECT_TRUE(b.absolute);
    EXPECT_FLOAT_EQ(b.RW, 100.5f);
    EXPECT_FLOAT_EQ(b.HW, -20.0f);
    for (const char* shown : {" WNord=   12.50", " Dateiname mit digitalisierten Hintergrunddaten: ",
                              " DEFDIG-I-DigDat=karte.dig", " Zeige=a P   3  0.30   1     0 Strassen",
                              " DEFDIG-W-Zeichenhöhe muß größer 0 sein!", " DEFDIG-W-Zeile 18 nicht interpretierbar ?",
                              " DEFDIG-W-Zeile 10: Linienbreite 1e6 mm auf 5.0 mm begrenzt",
                              " DEFDIG-I-LI=ab: Koordinatenmodus ein (nur vermerkt",
                              " <<XX=unbekannt>>", " LESDIG-Definitionen: "})
        EXPECT_NE(r.out.find(shown), std::string::npos) << shown << "\n" << r.out;
}
