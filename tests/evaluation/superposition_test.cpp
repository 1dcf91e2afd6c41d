#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "evaluation/superposition.h"
#include "resultfile/model.h"
#include "resultfile/separate.h"
#include "resultfile/writer.h"
#include "test_support.h"

namespace rf = resultfile;
using namespace testing_support;

namespace {

// A run on a 2 x 1 x 2 grid with the same value at every point of a component.
rf::ResultFileImage run(float u, float v, float w, float u0, float v0, const std::string& family = "QEM 4.1") {
    rf::ResultFileImage r;
    r.program = family;
    r.title = "Richtung";
    r.igbfile = "haus_" + family.substr(0, 3) + std::to_string(static_cast<int>(u)) + ".dat";
    r.NX = 2, r.NY = 1, r.NZ = 2;
    r.XMIN = 100.0f, r.YMIN = 200.0f, r.DX = 10.0f, r.DY = 5.0f;
    r.DZK = {2.0f, 3.0f};
    r.DD = 90.0f + u, r.FF = 3.5f, r.ZA = 10.0f, r.WEXP = 0.25f, r.Z0 = 0.1f, r.ALPHA = 1.5f;
    r.U0.assign(2, u0);
    r.V0.assign(2, v0);
    r.U.assign(3 * 1 * 2, u);
    r.V.assign(2 * 2 * 2, v);
    r.W.assign(2 * 1 * 3, w);
    return r;
}

struct Series {
    ScratchDir dir;
    std::string list = dir.file("liste.txt");
    std::string a = dir.file("a.erg"), b = dir.file("b.erg"), out = dir.file("mittel.erg");
    Series() {
        rf::ResultFileImage first = run(2.0f, -1.0f, 0.5f, 4.0f, -4.0f);
        first.U.back() = 10.0f;  // one point of its own
        rf::write_result_file(a, first);
        rf::write_result_file(b, run(-2.0f, 3.0f, -0.5f, 0.0f, 2.0f));
    }
    void list_file(const std::string& cases, const std::string& output) const {
        dir.write("liste.txt", "Mittel aller Richtungen\n" + cases + output);
    }
    std::string cases(const std::string& wa = "1", const std::string& wb = "3") const {
        return "1 " + a + " " + wa + "\n2, '" + b + "', " + wb + "\n";
    }
    // Runs the superposition with the answers; the console's output.
    std::string superpose(const std::string& answers, std::string_view main_file = {}) const {
        CapturedConsole con(answers);
        evaluation::SUPERP(list, "QEM Hauptlauf", false, "QEM", main_file);
        return con.out();
    }
};

TEST(Superposition, RefusesWeightsThatSumToZero) {
    for (const std::vector<std::string>& weights :
         {std::vector<std::string>{"1", "-1"}, {"0", "0.0"}, {"0.1", "0.2", "-0.3"}}) {
        Series s;
        std::string cases;
        for (std::size_t k = 0; k < weights.size(); ++k) cases += "1 " + (k % 2 ? s.b : s.a) + " " + weights[k] + "\n";
        s.list_file(cases, s.out + "\n");
        EXPECT_NE(fatal_message([&] { s.superpose("v\n\n\n"); }).find("SUPERP-F-Summe der Wichtungsfaktoren ist 0"),
                  std::string::npos) << weights.back();
        EXPECT_FALSE(std::filesystem::exists(s.out));
    }
}

TEST(Superposition, RefusesAnOutputThatReplacesOneOfItsInputs) {
    Series s;
    const std::string a_bytes = read_file(s.a);
    const std::string case_file = s.dir.file("./sub/../a.erg");
    std::filesystem::create_directory(s.dir.file("sub"));
    const struct {
        std::string output, main_file, message;
    } rows[] = {
        {s.a, "", "ist die Falldatei " + s.a},
        {case_file, "", "ist die Falldatei"},
        {s.list, "", "ist die Listendatei"},
        {s.out, s.out, "ist die Ergebnisdatei des Laufs"},
    };
    for (const auto& row : rows) {
        s.list_file(s.cases(), row.output + "\n");
        std::string message = fatal_message([&] { s.superpose("v\n\n\n", row.main_file); });
        EXPECT_NE(message.find("SUPERP-F-Ausgabedatei " + row.output + " " + row.message), std::string::npos) << message;
    }
    EXPECT_EQ(read_file(s.a), a_bytes);
    EXPECT_FALSE(std::filesystem::exists(s.out));
}

TEST(Superposition, RefusesRunsOnAnotherGrid) {
    const struct {
        void (*change)(rf::ResultFileImage&);
        const char* message;  // empty: the grids count as equal
    } rows[] = {
        {[](rf::ResultFileImage& r) { r.NY = 2, r.U.resize(12), r.V.resize(12), r.W.resize(12); }, "NY = 2 statt 1"},
        {[](rf::ResultFileImage& r) { r.DY = 5.01f; }, "DY = 5.01 statt 5"},
        {[](rf::ResultFileImage& r) { r.DZK[1] = 3.003f; }, "DZK(2) = 3.003 statt 3"},
        {[](rf::ResultFileImage& r) { r.DZK[1] = 3.0001f; }, ""},
        // Another site: the corner 300 m away; a hundredth of a cell is the same place.
        {[](rf::ResultFileImage& r) { r.XMIN = 400.0f; }, "XMIN = 400.0 statt 100.0"},
        {[](rf::ResultFileImage& r) { r.YMIN = 200.04f; }, ""},
    };
    for (const auto& row : rows) {
        Series s;
        rf::ResultFileImage other = run(-2.0f, 3.0f, -0.5f, 0.0f, 2.0f);
        row.change(other);
        rf::write_result_file(s.b, other);
        s.list_file(s.cases(), s.out + "\n");
        if (*row.message == '\0') {
            s.superpose("v\n\n\n");
            EXPECT_TRUE(std::filesystem::exists(s.out));
            continue;
        }
        std::string message = fatal_message([&] { s.superpose("v\n\n\n"); });
        EXPECT_NE(message.find("Gitter von " + s.b + " passt nicht zu " + s.a + ": " + row.message), std::string::npos)
            << message;
        EXPECT_FALSE(std::filesystem::exists(s.out));
    }
}

// Nothing of a list is lost: a case that does not read, a decimal comma, a
// line after the output name or sums beyond the file's reals stop the run
// with the line, and no file is written.
TEST(Superposition, ListsThatWouldLoseACaseStopNamingTheLine) {
    const struct {
        std::string cases, output, message;
    } rows[] = {
        {"1 A 1\n2 B l.5\n3 A 1\n", "O\n", "Zeile 3: Wichtung l.5 ist keine Zahl"},
        {"1 A 0,5\n2 B 1\n", "O\n", "Zeile 2: Dezimalkomma in der Wichtung"},
        {"1 A 1\n2 B 1\n", "O\n3 A 1\n", "Zeile 5: nach dem Namen der Ausgabedatei (Zeile 4) steht noch etwas"},
        {"1 A 1\nzwei B 1\n", "O\n", "Zeile 3: kein Fall (Nummer Datei Wichtung)"},
        {"1 A 1e39\n2 B 1\n", "O\n", "Zeile 2: Wichtung außerhalb des Zahlenbereichs"},
        {"1 A 3e38\n2 B 3e38\n", "O\n", "gewichtete Summen außerhalb des Zahlenbereichs (Wichtungen zu groß) - "},
    };
    for (const auto& row : rows) {
        Series s;
        // A, B and OUT stand for the two runs and the output file.
        auto names = [&](const std::string& text) {
            std::string named;
            for (char c : text) named += c == 'A' ? s.a : c == 'B' ? s.b : c == 'O' ? s.out : std::string(1, c);
            return named;
        };
        s.list_file(names(row.cases), names(row.output));
        const std::string message = fatal_message([&] { s.superpose("v\n\n\n"); });
        EXPECT_NE(message.find("SUPERP-F-"), std::string::npos) << message;
        EXPECT_NE(message.find(row.message), std::string::npos) << message;
        EXPECT_FALSE(std::filesystem::exists(s.out)) << row.message;
    }
}

TEST(Superposition, ListsWithoutAnOutputNameWriteNothing) {
    Series s;
    for (const std::string& tail : {std::string(), std::string("\n   \n\t\n")}) {
        s.list_file(s.cases(), tail);
        std::string out = s.superpose("v\n");
        EXPECT_NE(out.find("SUPERP-I-Listendatei " + s.list + " nennt keine Ausgabedatei: nichts gespeichert"),
                  std::string::npos) << out;
        EXPECT_EQ(out.find("GET_HEAD"), std::string::npos);  // no run was read
    }
    std::string cases;
    for (int k = 1; k <= 37; ++k) cases += std::to_string(k) + " " + s.a + " 1\n";
    s.list_file(cases, s.out + "\n");
    EXPECT_NE(fatal_message([&] { s.superpose("v\n"); }).find("mehr als 36 F"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(s.out));
}

TEST(Superposition, MeansOfVectorsOrOfAbsoluteValues) {
    const struct {
        const char* answer;
        float U, U_apart, V, W, U0, V0;
    } rows[] = {
        {"v", -1.0f, 1.0f, 2.0f, -0.25f, 1.0f, 0.5f},
        {" V", -1.0f, 1.0f, 2.0f, -0.25f, 1.0f, 0.5f},
        {"x", 2.0f, 4.0f, 2.5f, 0.5f, 1.0f, 2.5f},
        {"", 2.0f, 4.0f, 2.5f, 0.5f, 1.0f, 2.5f},
    };
    for (const auto& row : rows) {
        Series s;
        s.dir.write("mittel.erg", "an older file of that name");
        s.list_file(s.cases(), "\n" + s.out + "\n");
        const std::string out = s.superpose(std::string(row.answer) + "\n\n\n");
        EXPECT_NE(out.find("   1-UVW-Datei: " + s.a + "     Wichtung:   1.0\n"), std::string::npos) << out;
        EXPECT_NE(out.find("   2-UVW-Datei: " + s.b + "     Wichtung:   3.0\n"), std::string::npos);
        EXPECT_NE(out.find("  2 Fälle bearbeitet, Summe der Wichtungsfaktoren: 0.400E+01\n weiter mit <Eingabe> "),
                  std::string::npos);
        EXPECT_NE(out.find(" generierte Felder speichern in " + s.out + "\n"), std::string::npos);

        std::string family;
        rf::ResultFileImage m;
        {
            CapturedConsole quiet;
            m = rf::read_result_separately(s.out, false, family);
        }
        EXPECT_EQ(read_file(s.out).substr(4, 32), std::string("QEM-S V9.99") + std::string(21, ' '));
        EXPECT_TRUE(rf::same_version(m.version, 2.1f));
        EXPECT_EQ(m.title.substr(0, 27), "QEM Mittel aller Richtungen");
        EXPECT_EQ(m.igbfile, "haus_QEM-2.dat");  // the last run's
        EXPECT_EQ(m.uvwdat, s.out);
        EXPECT_EQ(m.infile, "");
        EXPECT_EQ(m.DD, 88.0f);
        EXPECT_EQ(m.WEXP, 0.25f);
        EXPECT_EQ(m.DZK, (std::vector<float>{2.0f, 3.0f}));
        EXPECT_EQ(m.U.front(), row.U) << row.answer;
        EXPECT_EQ(m.U.back(), row.U_apart) << row.answer;
        EXPECT_EQ(m.V, std::vector<float>(8, row.V)) << row.answer;
        EXPECT_EQ(m.W, std::vector<float>(6, row.W)) << row.answer;
        EXPECT_EQ(m.U0, std::vector<float>(2, row.U0)) << row.answer;
        EXPECT_EQ(m.V0, std::vector<float>(2, row.V0)) << row.answer;
    }
}

TEST(Superposition, ThirtySixTrzRunsGiveAQemFileWithoutProfileExponent) {
    Series s;
    rf::write_result_file(s.b, run(-2.0f, 3.0f, -0.5f, 0.0f, 2.0f, "TRZ 2.0"));
    std::string cases;
    for (int k = 1; k <= 36; ++k) cases += std::to_string(k) + " \"" + s.b + "\" 0.5\n\n";
    const std::string written = s.dir.file("mittel 36.erg");
    s.list_file(cases, "  '" + written + "'\n");
    const std::string out = s.superpose("s\n\n\n");
    EXPECT_NE(out.find(" 36 Richtungen gelesen\n 36 Fälle bearbeitet, Summe der Wichtungsfaktoren: 0.180E+02\n"),
              std::string::npos) << out;
    std::string family;
    CapturedConsole quiet;
    rf::ResultFileImage m = rf::read_result_separately(written, false, family);
    EXPECT_EQ(family.substr(0, 3), "QEM");
    EXPECT_EQ(m.WEXP, 0.0f);
    EXPECT_EQ(m.U, std::vector<float>(6, 2.0f));
    EXPECT_EQ(m.V0, std::vector<float>(2, 2.0f));
}

}  // namespace
