// The plt2img command: arguments, exit status, messages and the output file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>

#include "test_support.h"

using testing_support::read_file;

namespace {

struct Result {
    int status = -1;
    std::string out, err;
};

Result plt2img(const testing_support::ScratchDir& dir, const std::string& args) {
    const std::string out = dir.file("stdout.txt"), err = dir.file("stderr.txt");
    const std::string command = "cd '" + dir.path().string() + "' && '" PLT2IMG_EXECUTABLE "' " + args + " >'" + out +
                                "' 2>'" + err + "'";
    int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(out), read_file(err)};
}

TEST(Plt2img, BadArgumentsAndBadPlotsEndWithStatusOne) {
    testing_support::ScratchDir dir;
    dir.write("good.plt", "IN;SP1;PU400,400;PD4000,400;PG;");
    dir.write("garbage.plt", std::string("\x89PNG\r\n\x1a\n\0\0", 10));
    dir.write("cut.plt", "IN;SP1;PU400,400;PD4000,");
    dir.write("plot.svg", "IN;SP1;PU400,400;PD4000,400;PG;");
    dir.write("zeros.plt", std::string(1 << 20, '\0'));
    struct Case {
        std::string args, message;
    };
    const Case cases[] = {
        {"", "Plotdatei und Ausgabedatei angeben"},
        {"good.plt", "Plotdatei und Ausgabedatei angeben"},
        {"good.plt out.png out.gif", "unbekanntes Ausgabeformat 'out.gif'"},
        {"good.plt out.gif", "unbekanntes Ausgabeformat"},
        {"good.plt out.png --dpi", "Wert fehlt nach --dpi"},
        {"good.plt out.png --dpi abc", "ungültiger Wert 'abc'"},
        {"good.plt out.png --dpi 5", "zwischen 10 und 2400 dpi"},
        {"good.plt out.png --page 210", "BREITExHÖHE"},
        {"good.plt out.png --colour", "unbekannte Option --colour"},
        {"missing.plt out.png", "missing.plt nicht gefunden"},
        {"garbage.plt out.png", "unerwartetes Zeichen 0x89"},
        {"cut.plt out.png", "unvollständig"},
        {"plot.svg ./plot.svg", "Ausgabedatei ./plot.svg ist die Plotdatei plot.svg und würde überschrieben"},
        {"zeros.plt out.png", "unerwartetes Zeichen 0x00 bei Byte 1 (zeros.plt)"},
    };
    for (const Case& c : cases) {
        Result r = plt2img(dir, c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("out.png"))) << c.args;
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
    EXPECT_EQ(read_file(dir.file("plot.svg")), "IN;SP1;PU400,400;PD4000,400;PG;");
}

TEST(Plt2img, ConvertsToEachFormat) {
    testing_support::ScratchDir dir;
    dir.write("good.plt", "IN;SP1;PU400,400;PD4000,400;ZZ;PG;");
    for (const char* name : {"a.png", "b.PDF", "c.svg"}) {
        Result r = plt2img(dir, std::string("good.plt ") + name + " --dpi=72 --page 100x50");
        EXPECT_EQ(r.status, 0) << name << ": " << r.err;
        EXPECT_NE(r.out.find("PREVIEW-W-unbekannter Befehl ZZ"), std::string::npos) << r.out;
        EXPECT_GT(read_file(dir.file(name)).size(), 50u) << name;
    }
    EXPECT_TRUE(read_file(dir.file("a.png")).starts_with("\x89PNG"));
    EXPECT_TRUE(read_file(dir.file("b.PDF")).starts_with("%PDF-"));
    EXPECT_NE(read_file(dir.file("c.svg")).find("<svg"), std::string::npos);
    // All three at once, drawn at the same time: the same pictures, each
    // format's warning in the order of the outputs.
    Result r = plt2img(dir, "good.plt d.png e.PDF f.svg --dpi=72 --page 100x50");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(testing_support::count(r.out, "PREVIEW-W-unbekannter Befehl ZZ"), 3) << r.out;
    EXPECT_EQ(read_file(dir.file("d.png")), read_file(dir.file("a.png")));
    // (cairo numbers its surfaces through the process)
    auto without_ids = [](std::string svg) {
        for (std::size_t at = svg.find("\"surface"); at != std::string::npos; at = svg.find("\"surface", at + 1))
            svg.erase(at + 8, svg.find('"', at + 1) - at - 8);
        return svg;
    };
    EXPECT_EQ(without_ids(read_file(dir.file("f.svg"))), without_ids(read_file(dir.file("c.svg"))));
    EXPECT_EQ(read_file(dir.file("e.PDF")).size(), read_file(dir.file("b.PDF")).size());
    EXPECT_EQ(plt2img(dir, "--help").status, 0);
}

}  // namespace
