// Nothing lost, nothing silently wrong: end-to-end runs of mural that try to
// make an output destroy an input, stop it with signals, write into special
// files and over the file-size limit, run it four times at once, place its
// grid far from 0 or make it absurd, and ask for layouts beyond the page.
// Every case checks the exit status, the message and that each older file
// of the directory is still there byte for byte.
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "../resultfile/result_image.h"
#include "preview/preview.h"
#include "test_support.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// The bytes of every file of a directory, with the names of its hidden ones.
std::map<std::string, std::string> snapshot(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(dir))
        files[e.path().filename().string()] = fs::is_regular_file(e.symlink_status()) ? read_file(e.path().string()) : "";
    return files;
}

// The arrows of a plot in plotter units: "PU start;PD" with the five points
// of shaft and head, the tip the point farthest from the start.
struct Arrow {
    double x0, y0, x1, y1;
};
std::vector<Arrow> arrows(const std::string& plot) {
    std::vector<Arrow> found;
    for (std::size_t at = plot.find("PU"); at != std::string::npos; at = plot.find("PU", at + 2)) {
        constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
        const std::size_t pd = plot.find(";PD", at);
        if (pd == std::string::npos) break;
        if (plot.find_first_of(kLetters, at + 2) != pd + 1) continue;
        const std::size_t end = plot.find_first_of(kLetters, pd + 3);
        std::vector<double> v;
        std::stringstream list(plot.substr(at + 2, pd - at - 2) + "," + plot.substr(pd + 3, end - pd - 3));
        for (std::string item; std::getline(list, item, ',');) v.push_back(std::atof(item.c_str()));
        if (v.size() != 12) continue;
        Arrow a{v[0], v[1], v[0], v[1]};
        for (std::size_t k = 2; k < 12; k += 2)
            if (std::hypot(v[k] - a.x0, v[k + 1] - a.y0) > std::hypot(a.x1 - a.x0, a.y1 - a.y0)) a.x1 = v[k], a.y1 = v[k + 1];
        found.push_back(a);
    }
    return found;
}

class Safety : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"run1.ERG", "run1.IGB", "LESDIG.DEF", "hintergrund.dig", "MURAL.RAS", "MURAL.ISO"})
            fs::copy_file(fs::path(MURAL_EXAMPLES_DIR) / name, dir.path() / name);
        dir.write("MURAL.PLT", "alter Plot");
        dir.write("MURAL.png", "altes Bild");
    }
    // A small run of known wind: 12 x 10 cells of DX x DY m with its corner
    // at (x0, y0), without obstacles.
    void write_small_run(const std::string& name, double x0, double y0, float d) {
        ResultSpec spec;
        spec.NX = 12;
        spec.NY = 10;
        spec.XMIN = static_cast<float>(x0);
        spec.YMIN = static_cast<float>(y0);
        spec.DX = spec.DY = d;
        dir.write(name, result_bytes(spec));
        ObstacleSpec obstacles;
        obstacles.NX = 12;
        obstacles.NY = 10;
        obstacles.DX = obstacles.DY = d;
        obstacles.massive.clear();
        obstacles.porous.clear();
        dir.write("HAUS.IGB", obstacle_bytes(obstacles));
    }
    RunResult run(const std::vector<std::string>& args, const std::string& input = "V\nK03\n\n2\n\n") {
        return run_mural(dir.path(), args, input);
    }
    // Nothing of the directory changed but `except`, and no temporary file is left.
    void expect_untouched(const std::map<std::string, std::string>& before, const std::string& what,
                          const std::vector<std::string>& except = {}) {
        const auto after = snapshot(dir.path());
        for (const auto& [name, bytes] : before) {
            if (std::find(except.begin(), except.end(), name) != except.end()) continue;
            auto it = after.find(name);
            ASSERT_NE(it, after.end()) << what << ": " << name << " is gone";
            EXPECT_TRUE(it->second == bytes) << what << ": " << name << " changed";
        }
        for (const auto& [name, bytes] : after)
            EXPECT_NE(name[0], '.') << what << ": " << name << " left behind";
    }
    ScratchDir dir;
};

TEST_F(Safety, AnOutputNeverReplacesAnInput) {
    dir.write("antworten.txt", "V\nK03\n\n2\n\n");
    struct Case {
        std::vector<std::string> args;
        std::string layout;  // MURAL.INI
        bool answers_file;   // the answers come from antworten.txt
        std::string message;
    };
    const Case cases[] = {
        {{"run1", "/p=RUN1.ERG"}, "", false, "Plotdatei RUN1.ERG ist die Ergebnisdatei run1.ERG"},
        {{"run1"}, "pl=run1.ERG\n", false, "Plotdatei run1.ERG ist die Ergebnisdatei run1.ERG"},
        {{"run1", "/p=./run1.igb"}, "", false, "Plotdatei ./run1.igb ist die Hindernisdatei run1.IGB"},
        {{"run1", "/p=LESDIG.DEF"}, "", false, "Plotdatei LESDIG.DEF ist die Hintergrund-Beschreibung LESDIG.DEF"},
        {{"run1", "/p=hintergrund.dig"}, "", false, "Plotdatei hintergrund.dig ist die Hintergrunddatei hintergrund.dig"},
        {{"run1", "/p=mural.ras"}, "", false, "Plotdatei mural.ras ist die Rasterdatei MURAL.RAS"},
        {{"run1", "/p=MURAL.INI"}, "zh=2.5\n", false, "Plotdatei MURAL.INI ist die Layoutdatei MURAL.INI"},
        {{"run1", "/p=antworten.txt"}, "", true, "Plotdatei antworten.txt ist die Antwortdatei der Standardeingabe"},
        {{"run1", "/p=bild.png", "/g=png"}, "", false, "Bild bild.png (/g=png) wäre die Plotdatei bild.png selbst"},
        {{"run1", "/p=plots/x.plt"}, "", false, "Plotdatei plots/x.plt kann nicht geschrieben werden: Verzeichnis existiert nicht"},
        {{"run1", "/p=."}, "", false, "Plotdatei . kann nicht geschrieben werden: keine gewöhnliche Datei"},
    };
    for (const Case& c : cases) {
        if (!c.layout.empty()) dir.write("MURAL.INI", c.layout);
        const auto before = snapshot(dir.path());
        RunResult r = run_mural(dir.path(), c.args, c.answers_file ? "" : "V\nK03\n\n2\n\n", {}, "",
                                c.answers_file ? dir.file("antworten.txt") : "");
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_TRUE(contains(r.err, "MURAL-F-" + c.message)) << r.err;
        EXPECT_FALSE(contains(r.out, "Art der Darstellung")) << c.message << ": refused at start-up";
        expect_untouched(before, c.message);
        fs::remove(dir.file("MURAL.INI"));
    }
}

// Every signal that ends a program, at the question after the plot has begun.
TEST_F(Safety, EveryTerminatingSignalRemovesTheTemporaryPlot) {
    struct sigaction quit {};
    sigaction(SIGQUIT, nullptr, &quit);
    for (int sig : {SIGPIPE, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGXCPU, SIGVTALRM, SIGHUP, SIGINT}) {
        // A shell without job control starts its background jobs with SIGQUIT ignored.
        if (sig == SIGQUIT && quit.sa_handler == SIG_IGN) continue;
        const auto before = snapshot(dir.path());
        int temporaries = 0;
        RunResult r = interrupt_mural(dir.path(), {"run1"}, "V\nK03\n", " Skalierung der Pfeillänge", sig, [&] {
            for (const auto& e : fs::directory_iterator(dir.path())) temporaries += e.path().filename().string()[0] == '.';
        });
        EXPECT_EQ(temporaries, 1) << strsignal(sig);
        EXPECT_EQ(r.status, 128 + sig) << strsignal(sig) << r.err;
        expect_untouched(before, strsignal(sig));
    }
}

TEST_F(Safety, SpecialFilesStayWhatTheyAre) {
    fs::create_directory(dir.file("echt"));
    dir.write("echt/ziel.plt", "alt");
    fs::create_symlink("echt/ziel.plt", dir.file("verweis.plt"));
    fs::create_symlink("echt/neu.plt", dir.file("offen.plt"));  // a link to a file yet to be made
    ASSERT_EQ(::mkfifo(dir.file("plotter").c_str(), 0600), 0);
    // A reader at the FIFO, and a writer that keeps it from seeing the end
    // before mural has written.
    const int reader = ::open(dir.file("plotter").c_str(), O_RDONLY | O_NONBLOCK);
    const int keeper = ::open(dir.file("plotter").c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_GE(keeper, 0);

    // A plot that fits the FIFO's buffer, so that it need not be read at once.
    write_small_run("klein.ERG", 100.0, 200.0, 10.0f);
    RunResult r = run({"klein", "/l:no", "/p=plotter"}, "V\nK01\n\n\n");
    EXPECT_EQ(r.status, 0) << r.err;
    ::close(keeper);
    std::string received;
    char buffer[4096];
    for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;) received.append(buffer, static_cast<std::size_t>(n));
    ::close(reader);
    EXPECT_TRUE(received.ends_with("SP0PG;")) << received.size();
    EXPECT_TRUE(fs::is_fifo(dir.file("plotter")));

    r = run({"run1", "/p=/dev/null"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    // A link keeps its link, its target gets the plot; the picture goes beside the link.
    for (const char* link : {"verweis.plt", "offen.plt"}) {
        r = run({"run1", std::string("/p=") + link, "/g=png"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(fs::is_symlink(dir.file(link))) << link;
        EXPECT_TRUE(read_file(dir.file(link)).ends_with("SP0PG;")) << link;
        EXPECT_TRUE(fs::exists(dir.file(std::string(link).substr(0, std::string(link).size() - 3) + "png"))) << link;
    }
    EXPECT_TRUE(fs::exists(dir.file("echt/neu.plt")));
}

// A write that fails names the system's cause and keeps the old plot: over
// the file-size limit (SIGXFSZ is ignored, the write fails), on a full disk,
// into a directory without write permission (not for root, who may write
// anywhere).
TEST_F(Safety, FailedWritesNameTheirCauseAndKeepTheOldPlot) {
    fs::create_directory(dir.file("nur_lesen"));
    fs::permissions(dir.file("nur_lesen"), fs::perms::owner_read | fs::perms::owner_exec);
    struct Case {
        std::string shell;
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {"ulimit -f 16", {"run1"}, "FOPEN-F-Plotdatei MURAL.PLT konnte nicht geschrieben werden: Größengrenze für Dateien"},
        {"", {"run1", "/p=/dev/full"}, "FOPEN-F-Plotdatei /dev/full konnte nicht geschrieben werden: kein Platz mehr"},
        {"", {"run1", "/p=nur_lesen/x.plt"}, "MURAL-F-Plotdatei nur_lesen/x.plt kann nicht geschrieben werden: keine Berechtigung"},
    };
    for (const Case& c : cases) {
        if (c.message.find("Berechtigung") != std::string::npos && ::geteuid() == 0) continue;
        const auto before = snapshot(dir.path());
        RunResult r = run_mural(dir.path(), c.args, "V\nK03\n\n2\n\n", {}, c.shell);
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_TRUE(contains(r.err, c.message)) << r.err;
        expect_untouched(before, c.message);
    }
    fs::permissions(dir.file("nur_lesen"), fs::perms::owner_all);
}

// Four runs at once in one directory, each with its own arrow scale: the
// plot left in the end and its picture come from one run.
TEST_F(Safety, ConcurrentRunsLeaveAPlotAndItsOwnPicture) {
    write_small_run("klein.ERG", 100.0, 200.0, 10.0f);
    preview::RenderOptions quiet;
    quiet.warn = [](std::string_view) {};
    for (int round = 0; round < 4; ++round) {
        std::vector<std::thread> runs;
        std::vector<RunResult> results(4);
        for (int k = 0; k < 4; ++k)
            runs.emplace_back([&, k] {
                results[static_cast<std::size_t>(k)] =
                    run_mural(dir.path(), {"klein", "/l:no", "/g=png"}, "V\nK01\n0.00" + std::to_string(k + 1) + "\n\n");
            });
        for (std::thread& t : runs) t.join();
        for (const RunResult& r : results) EXPECT_EQ(r.status, 0) << r.err;
        // Pictures are drawn the same way every time: the picture of the plot
        // that stands there now is the picture that stands beside it.
        const std::string plot = read_file(dir.file("MURAL.PLT"));
        EXPECT_TRUE(preview::render(plot, preview::Format::png, quiet) == read_file(dir.file("MURAL.png")))
            << "round " << round;
        for (const auto& e : fs::directory_iterator(dir.path())) EXPECT_NE(e.path().filename().string()[0], '.');
    }
}

// The arrows of one field at real-world coordinates (Gauss-Krüger; UTM north
// near 10^7 m with 0.7 m cells) are the arrows at local coordinates, byte for
// byte (with a scale bar, the plot holds no coordinate), also in a window;
// and each arrow points where the field's wind at its cell points.
TEST_F(Safety, ArrowsDoNotDependOnWhereTheGridLies) {
    struct Placement {
        const char* name;
        double x0, y0;
        float d;  // cell width (m)
    };
    const Placement placements[] = {{"Gauss-Krüger", 3512345.0, 5412345.0, 2.0f}, {"UTM Nord", 500100.0, 9999000.0, 0.7f}};
    for (const Placement& p : placements) {
        for (bool window : {false, true}) {
            // Arrows about one cell long: the wind is about 2400 m/s.
            const std::string answers = "V\nK01\n" + std::to_string(p.d / 2400.0) + "\n\n";
            std::string plots[2];
            for (int offset = 0; offset < 2; ++offset) {
                const double x0 = offset ? p.x0 : 100.0, y0 = offset ? p.y0 : 200.0;
                write_small_run("klein.ERG", x0, y0, p.d);
                std::vector<std::string> args = {"klein", "/l:no", "/m", "/p=k.plt"};
                if (window)
                    args.push_back("/x:" + std::to_string(x0 + 2 * p.d) + "," + std::to_string(x0 + 10 * p.d) + "," +
                                   std::to_string(y0 + 2 * p.d) + "," + std::to_string(y0 + 8 * p.d));
                RunResult r = run_mural(dir.path(), args, answers);
                ASSERT_EQ(r.status, 0) << p.name << r.err;
                plots[offset] = read_file(dir.file("k.plt"));
            }
            EXPECT_TRUE(plots[0] == plots[1]) << p.name << (window ? " with a window" : "");
            if (window) continue;

            // 180 mm for the 12 cells from the origin at 20 mm, in plotter
            // units of 1/40.2 mm; each arrow starts at the centre of its cell.
            const double units_per_cell = 180.0 / 12 * 40.2, origin = 20.0 * 40.2;
            // Those of the last column and row reach over the frame and are cut.
            const std::vector<Arrow> found = arrows(plots[1]);
            ASSERT_EQ(found.size(), 11u * 9u) << p.name;
            double worst = 0.0;
            for (const Arrow& a : found) {
                const int i = 1 + static_cast<int>((a.x0 - origin) / units_per_cell);
                const int j = 1 + static_cast<int>((a.y0 - origin) / units_per_cell);
                const double u = 0.5 * (wind_value(1, i, j, 1) + wind_value(1, i + 1, j, 1));
                const double v = 0.5 * (wind_value(2, i, j, 1) + wind_value(2, i, j + 1, 1));
                const double difference = std::atan2(a.y1 - a.y0, a.x1 - a.x0) - std::atan2(v, u);
                worst = std::max(worst, std::fabs(difference) * 180.0 / std::numbers::pi);
            }
            // Plotter units on arrows of 15 mm turn them by 0.1 degrees at most.
            EXPECT_LT(worst, 0.12) << p.name;
        }
    }
}

TEST_F(Safety, GridsThatMakeNoMapAreRefused) {
    struct Case {
        void (*change)(ResultSpec&);
        std::string message;
    };
    const Case cases[] = {
        {[](ResultSpec& s) { s.DX = 1e30f; }, "DX=1e+30 m ist keine brauchbare Zellbreite (0.001 bis 100000 m)"},
        {[](ResultSpec& s) { s.DX = 1e-40f; }, "DX=9.999946e-41 m ist keine brauchbare Zellbreite"},
        {[](ResultSpec& s) { s.DY = 0.0f; }, "DY=0 m ist keine brauchbare Zellbreite"},
        {[](ResultSpec& s) { s.DZK[1] = -3.0f; }, "DZK(2)=-3 m ist keine brauchbare Zellbreite"},
        {[](ResultSpec& s) { s.XMIN = 1e30f; }, "XMIN=1e+30 m liegt außerhalb jedes Koordinatensystems"},
        {[](ResultSpec& s) { s.YMIN = NAN; }, "YMIN=nan m liegt außerhalb"},
        {[](ResultSpec& s) { s.NX = 200, s.DX = 90000.0f; }, "NX*DX=1.8e+07 m ist kein Modellgebiet (höchstens 1e+07 m)"},
    };
    for (const Case& c : cases) {
        ResultSpec spec;
        c.change(spec);
        dir.write("absurd.ERG", result_bytes(spec));
        const auto before = snapshot(dir.path());
        RunResult r = run({"absurd"});
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_TRUE(contains(r.err, "GQEM_GRD-F-Datei absurd.ERG: " + c.message)) << r.err;
        expect_untouched(before, c.message);
    }
}

// A size asked for in the layout file is drawn as asked or refused; only a
// height that follows from the default width shrinks to the page, and says so.
TEST_F(Safety, LayoutIsHonouredOrRefused) {
    struct Case {
        std::string layout;
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {"ax=1150\nay=800\n", {"run1"}, 1, "MURAL-F-Layoutwert ay=800.0 (MURAL.INI): die Zeichnung ist höher als das Blatt"},
        {"ax=100\nay=300\n", {"run1"}, 1, "MURAL-F-Layoutwert ay=300.0 (MURAL.INI)"},
        {"ax=600\n", {"run1"}, 1, "MURAL-F-Layoutwert ax=600.0 (MURAL.INI): die Zeichnung wäre bei dieser Breite 500.0 mm hoch"},
        {"", {"run1", "/x:3500,3550,5200,5450"}, 0, " MURAL-I-Zeichnung auf 48.0 x 240.0 mm verkleinert"},
    };
    for (const Case& c : cases) {
        if (!c.layout.empty()) dir.write("MURAL.INI", c.layout);
        const auto before = snapshot(dir.path());
        RunResult r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.message << r.err;
        EXPECT_TRUE(contains(c.status ? r.err : r.out, c.message)) << r.err << r.out;
        if (c.status) expect_untouched(before, c.message);
        fs::remove(dir.file("MURAL.INI"));
    }
}

}  // namespace
