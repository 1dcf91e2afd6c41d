// mural-atlas end to end on copies of the example: the example's atlas drawn
// whole, then again with nothing to do, then after changes only what they
// concern; a failing picture among good ones; bad lists refused before
// anything is drawn; parts that together draw every picture once; Ctrl-C;
// and the page in a real browser.
#include <gtest/gtest.h>

#include <cairo.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// A study folder: the example run with its settings files and atlas.
fs::path make_study(const ScratchDir& dir) {
    const fs::path study = dir.path() / "study";
    fs::create_directory(study);
    for (const char* name : {"run1.ERG", "run1.IGB", "run1.DIF", "run1.dat", "LESDIG.DEF", "hintergrund.dig",
                             "MURAL.ISO", "MURAL.RAS", "atlas.txt"})
        fs::copy_file(fs::path(MURAL_EXAMPLES_DIR) / name, study / name);
    return study;
}

std::string quoted(const std::string& s) { return "'" + s + "'"; }

RunResult run_atlas(const fs::path& dir, const std::string& args) {
    const fs::path io = dir / "io";
    fs::create_directories(io);
    const std::string command = "cd " + quoted(dir.string()) + " && timeout -k 10 600 " + quoted(MURAL_ATLAS_EXECUTABLE) +
                                " " + args + " </dev/null >" + quoted((io / "out").string()) + " 2>" +
                                quoted((io / "err").string());
    const int raw = std::system(command.c_str());
    RunResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = read_file((io / "out").string());
    r.err = read_file((io / "err").string());
    return r;
}

// The pictures drawn by a run, from its progress lines.
std::set<std::string> drawn(const std::string& out) {
    std::set<std::string> names;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t start = line.find("] "), end = line.find(" gezeichnet (");
        if (line.starts_with("[") && start != std::string::npos && end != std::string::npos && end > start)
            names.insert(line.substr(start + 2, end - start - 2));
    }
    return names;
}

// The value of an attribute in an HTML tag; empty when it has none.
std::string attribute(const std::string& tag, const std::string& name) {
    const std::size_t at = tag.find(" " + name + "=\"");
    if (at == std::string::npos) return {};
    const std::size_t start = at + name.size() + 3;
    return tag.substr(start, tag.find('"', start) - start);
}

std::map<std::string, fs::file_time_type> plot_times(const fs::path& out) {
    std::map<std::string, fs::file_time_type> times;
    for (const auto& e : fs::directory_iterator(out))
        if (e.path().extension() == ".plt") times[e.path().stem().string()] = e.last_write_time();
    return times;
}

// The names the example's atlas gives, written out from its lines by hand.
std::set<std::string> example_names() {
    std::set<std::string> names;
    auto add = [&](const std::string& picture, std::vector<std::string> sections, std::vector<std::string> suffixes) {
        for (const std::string& s : sections)
            for (const std::string& x : suffixes) names.insert("run1_" + picture + "_" + s + (x.empty() ? "" : "_" + x));
    };
    add("V", {"K03", "K08"}, {"", "RU", "UL", "UR"});
    add("F", {"K03", "K08"}, {"", "RU"});
    add("S", {"K03", "K08"}, {"", "RU", "UL", "UR", "NO"});
    add("V", {"J25"}, {"", "RU", "UR"});
    add("F", {"J25"}, {"", "RU"});
    return names;
}

}  // namespace

TEST(Atlas, DrawsTheExampleAndLaterOnlyWhatChanged) {
    ScratchDir dir;
    const fs::path study = make_study(dir);
    const fs::path out = dir.path() / "out";
    // A file of the folder that the list does not name stays as it is.
    fs::create_directory(out);
    std::ofstream(out / "notes.txt") << "mine";

    RunResult first = run_atlas(dir.path(), "study/atlas.txt -o out -j 2");
    ASSERT_EQ(first.status, 0) << first.out << first.err;
    const std::set<std::string> names = example_names();
    EXPECT_EQ(drawn(first.out), names);
    std::set<std::string> files;
    for (const auto& e : fs::directory_iterator(out)) files.insert(e.path().filename().string());
    std::set<std::string> expected = {"index.html", "notes.txt", ".mural-atlas"};
    for (const std::string& n : names)
        for (const char* ext : {".plt", ".png", ".svg", ".log"}) expected.insert(n + ext);
    EXPECT_EQ(files, expected);
    EXPECT_EQ(read_file((out / "notes.txt").string()), "mine");
    EXPECT_TRUE(fs::is_empty(out / ".mural-atlas" / "tmp"));
    // The transcript names its line; each kind of picture renders.
    EXPECT_TRUE(contains(read_file((out / "run1_F_J25_RU.log").string()), "Zeile 42: run1  F  J25  /n /l:RU  @RU"));
    for (const char* n : {"run1_V_K03", "run1_F_K08_RU", "run1_S_K03_NO", "run1_V_J25_UR"})
        EXPECT_TRUE(renders((out / (std::string(n) + ".plt")).string(), dir.file(std::string(n) + "_hp2xx.png"))) << n;
    // The answers of a line reach mural: its short description titles the plot.
    EXPECT_TRUE(contains(read_file((out / "run1_V_J25.log").string()), "Titel: Schnitt durch zwei Gebäude / Vertikalschnitt"));

    const auto before = plot_times(out);
    // What changed, and which pictures that redraws.
    struct Step {
        const char* what;
        std::function<void()> change;
        std::set<std::string> redrawn;
    };
    auto rewrite = [&](const char* name, const std::string& from, const std::string& to) {
        std::string text = read_file((study / name).string());
        const std::size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        std::ofstream(study / name, std::ios::binary) << text.replace(at, from.size(), to);
    };
    std::set<std::string> rasters;
    for (const std::string& n : names)
        if (n.starts_with("run1_F_")) rasters.insert(n);
    const Step steps[] = {
        {"nothing", [] {}, {}},
        {"MURAL.RAS touched, not changed",
         [&] { fs::last_write_time(study / "MURAL.RAS", fs::file_time_type::clock::now()); }, {}},
        {"MURAL.ISO changed (no isolines in the list)", [&] { rewrite("MURAL.ISO", "0.5  1 1 1 1", "0.6  1 1 1 1"); }, {}},
        {"MURAL.RAS changed", [&] { rewrite("MURAL.RAS", "'bis 0,5'", "'unter 0,5'"); }, rasters},
        {"a comment and another line's section",
         [&] { rewrite("atlas.txt", "run1  S  K03,K08  /l:NO  @NO", "run1  S  K03,K08,K10  /l:NO  @NO  # mit K10"); },
         {"run1_S_K10_NO"}},
        {"the options of a line", [&] { rewrite("atlas.txt", "run1  V  J25  /n /l:UR  @UR", "run1  V  J25  /n /m /l:UR  @UR"); },
         {"run1_V_J25_UR"}},
    };
    for (const Step& step : steps) {
        step.change();
        RunResult r = run_atlas(dir.path(), "study/atlas.txt -o out -j 2");
        ASSERT_EQ(r.status, 0) << step.what << r.out << r.err;
        EXPECT_EQ(drawn(r.out), step.redrawn) << step.what << r.out;
    }
    const auto after = plot_times(out);
    for (const auto& [name, time] : before)
        EXPECT_EQ(time == after.at(name), rasters.count(name) == 0 && name != "run1_V_J25_UR") << name;

    // --all draws every picture again.
    RunResult all = run_atlas(dir.path(), "study/atlas.txt -o out --all");
    ASSERT_EQ(all.status, 0) << all.out << all.err;
    EXPECT_EQ(drawn(all.out).size(), names.size() + 1);
}

TEST(Atlas, AFailedPictureIsReportedAndTheOthersKept) {
    ScratchDir dir;
    const fs::path study = make_study(dir);
    // The window of line 2 reaches past the grid: mural refuses it when drawing.
    std::ofstream(study / "list.txt") << "run1 V K03\n"
                                         "run1 V K05 /x:0,9999,0,9999 @far   # beyond the grid\n"
                                         "run1 F K03\n";
    const fs::path out = dir.path() / "out";
    fs::create_directory(out);
    std::ofstream(out / "run1_V_K05_far.plt") << "an older plot";

    RunResult r = run_atlas(dir.path(), "study/list.txt -o out -j 2");
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(drawn(r.out), (std::set<std::string>{"run1_V_K03", "run1_F_K03"}));
    const std::string log = read_file((out / "run1_V_K05_far.log").string());
    const std::string message = log.substr(log.find("MURAL-F-"));
    ASSERT_FALSE(message.empty()) << log;
    const std::string first_line = message.substr(0, message.find('\n'));
    EXPECT_TRUE(contains(r.out, "Fehlgeschlagen:\n  run1_V_K05_far (study/list.txt, Zeile 2): " + first_line)) << r.out;
    EXPECT_EQ(read_file((out / "run1_V_K05_far.plt").string()), "an older plot");
    EXPECT_FALSE(fs::exists(out / "run1_V_K05_far.png"));
    for (const char* n : {"run1_V_K03", "run1_F_K03"}) EXPECT_TRUE(fs::exists(out / (std::string(n) + ".png"))) << n;
    const std::string page = read_file((out / "index.html").string());
    EXPECT_EQ(count(page, "<figure class=\"failed\""), 1);
    EXPECT_TRUE(contains(page, "fehlgeschlagen"));

    // The failed picture is tried again, the good ones are not.
    RunResult again = run_atlas(dir.path(), "study/list.txt -o out");
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(drawn(again.out).empty());
    EXPECT_TRUE(contains(again.out, "2 unverändert, 1 fehlgeschlagen")) << again.out;
}

TEST(Atlas, BadListsAreRefusedBeforeAnythingIsDrawn) {
    struct Case {
        const char* line;
        const char* place;
        const char* message;
    };
    const Case cases[] = {
        {"run1 Q K03", "2:6", "unbekannte Bildart \"Q\""},
        {"run1 V K03,K16", "2:12", "Schnitt K16 liegt außerhalb des Gitters von run1.ERG (K01 bis K15)"},
        {"run1  V  J51", "2:10", "Schnitt J51 liegt außerhalb des Gitters"},
        {"run2 V K03", "2:1", "Lauf run2.ERG nicht gefunden"},
        {"runs/*.ERG V K03", "2:1", "kein Lauf passt zu \"runs/*.ERG\""},
        {"run1 S J25", "2:8", "Stromlinien nur in Horizontalschnitten"},
        {"run1 K K03", "2:6", "Bildart K zeigt Diffusionskoeffizienten"},
        {"run1.DIF V K03", "2:10", "nur K oder KI"},
        {"run1 V K05-K02", "2:8", "läuft rückwärts"},
        {"run1 V K03 /p=mine.plt", "2:12", "die Plotdatei benennt der Atlas"},
        {"run1 V K03 /l:XX", "2:12", "Lage der Legende"},
        {"run1 V K01-K05", "2:8", "Bild run1_V_K03 entsteht schon aus Zeile 1"},
        {"run1 V", "2:7", "kein Schnitt angegeben"},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        const fs::path study = make_study(dir);
        std::ofstream(study / "list.txt") << "run1 V K03\n" << c.line << "\n";
        RunResult r = run_atlas(dir.path(), "study/list.txt -o out");
        EXPECT_EQ(r.status, 1) << c.line;
        EXPECT_TRUE(contains(r.err, std::string("study/list.txt:") + c.place + ": ")) << c.line << "\n" << r.err;
        EXPECT_TRUE(contains(r.err, c.message)) << c.line << "\n" << r.err;
        EXPECT_FALSE(fs::exists(dir.path() / "out")) << c.line;
        EXPECT_TRUE(r.out.empty()) << c.line;
    }
}

TEST(Atlas, PartsTogetherDrawEveryPictureOnce) {
    ScratchDir dir;
    const fs::path study = make_study(dir);
    std::ofstream(study / "list.txt") << "run1 V K01-K04\nrun1 F K02,K06\nrun1 T K03\nrun1 V M01\n";
    // Part I draws pictures I, I+3, I+6 in the order of the list.
    const std::set<std::string> parts[] = {{"run1_V_K01", "run1_V_K04", "run1_T_K03"},
                                           {"run1_V_K02", "run1_F_K02", "run1_V_M01"},
                                           {"run1_V_K03", "run1_F_K06"}};
    for (int part = 1; part <= 3; ++part) {
        RunResult r = run_atlas(dir.path(), "study/list.txt -o out --part " + std::to_string(part) + "/3");
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(drawn(r.out), parts[part - 1]) << r.out;
        EXPECT_FALSE(fs::exists(dir.path() / "out" / "index.html")) << "a part wrote the page";
    }
    RunResult page = run_atlas(dir.path(), "study/list.txt -o out --index-only");
    EXPECT_EQ(page.status, 0) << page.out << page.err;
    EXPECT_TRUE(contains(page.out, "8 Bilder: 8 gezeichnet")) << page.out;
    EXPECT_EQ(count(read_file((dir.path() / "out" / "index.html").string()), "<img "), 8);
}

TEST(Atlas, CtrlCStopsTheRunningPicturesAndKeepsTheFinishedOnes) {
    ScratchDir dir;
    const fs::path study = make_study(dir);
    std::ofstream(study / "list.txt") << "run1 V K*\nrun1 F K*\nrun1 S K*\n";
    const fs::path out = dir.path() / "out";
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const std::string list = (study / "list.txt").string(), target = out.string();
        if (!::freopen("/dev/null", "w", stdout) || !::freopen("/dev/null", "w", stderr)) ::_exit(126);
        ::execl(MURAL_ATLAS_EXECUTABLE, "mural-atlas", list.c_str(), "-o", target.c_str(), "-j", "2", nullptr);
        ::_exit(127);
    }
    // Stop it once the first picture is there.
    bool started = false;
    for (int k = 0; k < 6000 && !started; ++k) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        started = fs::exists(out / "run1_V_K01.plt") || fs::exists(out / "run1_V_K02.plt");
    }
    ::kill(pid, SIGINT);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(started);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    // Every plot in the folder is a finished picture with all its files.
    int plots = 0;
    for (const auto& e : fs::directory_iterator(out)) {
        if (e.path().extension() != ".plt") continue;
        ++plots;
        const std::string stem = e.path().stem().string();
        EXPECT_TRUE(fs::exists(out / ".mural-atlas" / (stem + ".rec"))) << stem;
        for (const char* ext : {".png", ".svg", ".log"}) EXPECT_TRUE(fs::exists(out / (stem + ext))) << stem << ext;
    }
    EXPECT_GE(plots, 1);
    EXPECT_LT(plots, 45);
    EXPECT_TRUE(fs::is_empty(out / ".mural-atlas" / "tmp"));
}

namespace {

// The darkness (0 white .. 1 black) of a region of a PNG, averaged over a grid
// of cells; empty when the file cannot be read.
std::vector<double> region_darkness(const std::string& png, double x0, double y0, double w, double h, int cells) {
    cairo_surface_t* s = cairo_image_surface_create_from_png(png.c_str());
    std::vector<double> sum(static_cast<std::size_t>(cells * cells), 0.0), n(sum.size(), 0.0);
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        cairo_surface_flush(s);
        const int width = cairo_image_surface_get_width(s), height = cairo_image_surface_get_height(s);
        const int stride = cairo_image_surface_get_stride(s);
        const unsigned char* data = cairo_image_surface_get_data(s);
        for (int y = std::max(0, int(y0)); y < std::min(height, int(y0 + h)); ++y)
            for (int x = std::max(0, int(x0)); x < std::min(width, int(x0 + w)); ++x) {
                const std::uint32_t p = reinterpret_cast<const std::uint32_t*>(data + std::ptrdiff_t(y) * stride)[x];
                const double grey = (0.299 * ((p >> 16) & 0xFF) + 0.587 * ((p >> 8) & 0xFF) + 0.114 * (p & 0xFF)) / 255.0;
                const auto c = static_cast<std::size_t>(std::min(cells - 1, int((y - y0) * cells / h)) * cells +
                                                        std::min(cells - 1, int((x - x0) * cells / w)));
                sum[c] += 1.0 - grey;
                n[c] += 1.0;
            }
    } else {
        sum.clear();
    }
    cairo_surface_destroy(s);
    for (std::size_t c = 0; c < sum.size(); ++c) sum[c] /= std::max(n[c], 1.0);
    return sum;
}

std::pair<int, int> png_dimensions(const std::string& png) {
    cairo_surface_t* s = cairo_image_surface_create_from_png(png.c_str());
    const std::pair<int, int> size{cairo_image_surface_get_width(s), cairo_image_surface_get_height(s)};
    cairo_surface_destroy(s);
    return size;
}

double correlation(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.size() != b.size() || a.empty()) return 0.0;
    double ma = 0, mb = 0;
    for (std::size_t k = 0; k < a.size(); ++k) ma += a[k], mb += b[k];
    ma /= double(a.size()), mb /= double(b.size());
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t k = 0; k < a.size(); ++k)
        ab += (a[k] - ma) * (b[k] - mb), aa += (a[k] - ma) * (a[k] - ma), bb += (b[k] - mb) * (b[k] - mb);
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
}

struct Thumb {
    std::string name;
    double x, y, w, h;
    std::string state;
};

// Loads the page in headless chromium and returns its thumbnails as the
// page's own script marked them, with their boxes, and the page's height.
std::vector<Thumb> browse(const fs::path& page, const fs::path& profile, int& height) {
    // A copy of the page beside it, with a script that writes each
    // thumbnail's box into the document that chromium dumps.
    const fs::path probe = page.parent_path() / "probe.html";
    std::string text = read_file(page.string());
    text.insert(text.rfind("</body>"),
                "<script>addEventListener('load', () => { for (const i of document.images) { const r = "
                "i.getBoundingClientRect(); i.setAttribute('data-box', [r.x, r.y + scrollY, r.width, r.height].join(' ')); } "
                "document.body.setAttribute('data-height', Math.ceil(document.body.getBoundingClientRect().bottom + scrollY) + 48); "
                "});</script>\n");
    std::ofstream(probe) << text;
    const std::string dom = (page.parent_path() / "dom.html").string();
    const std::string command =
        "timeout -k 5 120 chromium --headless --no-sandbox --disable-gpu --disable-background-networking "
        "--disable-component-update --disable-sync --no-first-run --user-data-dir=" + quoted(profile.string()) +
        " --hide-scrollbars --force-device-scale-factor=1 --window-size=1280,8000 --virtual-time-budget=10000 "
        "--dump-dom " + quoted("file://" + probe.string()) + " >" + quoted(dom) + " 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
    fs::remove(probe);
    const std::string html = read_file(dom);
    std::vector<Thumb> thumbs;
    for (std::size_t at = html.find("<img "); at != std::string::npos; at = html.find("<img ", at + 1)) {
        const std::string tag = html.substr(at, html.find('>', at) - at);
        std::istringstream box(attribute(tag, "data-box"));
        Thumb t;
        t.name = attribute(tag, "src");
        t.name = t.name.substr(0, t.name.rfind(".png"));
        t.state = attribute(tag, "data-state");
        if (box >> t.x >> t.y >> t.w >> t.h && !t.state.empty()) thumbs.push_back(t);
    }
    const std::string shown = attribute(html.substr(html.find("<body")), "data-height");
    height = shown.empty() ? 0 : std::stoi(shown);
    EXPECT_EQ(count(html, "<img "), static_cast<int>(thumbs.size())) << "an image without state or box";
    return thumbs;
}

}  // namespace

TEST(Atlas, ThePageLoadsInABrowserWithEveryPicture) {
    if (std::system("command -v chromium >/dev/null 2>&1") != 0) GTEST_SKIP() << "chromium is not installed";
    ScratchDir dir;
    const fs::path study = make_study(dir);
    std::ofstream(study / "list.txt") << "run1 V K03,K08 /l:RO\nrun1 V J25 /l:UR | 2\nrun1 F K02-K06 /l:RO\nrun1 S K03\n"
                                         "run1 V K04 /x:0,1,0,1 @bad\n";
    const fs::path out = dir.path() / "out";
    RunResult r = run_atlas(dir.path(), "study/list.txt -o out");
    ASSERT_EQ(r.status, 1) << r.out << r.err;  // the window of the last line lies off the grid

    int height = 0;
    const std::vector<Thumb> thumbs = browse(out / "index.html", dir.path() / "profile", height);
    const std::vector<std::string> order = {"run1_V_K03", "run1_V_K08", "run1_V_J25", "run1_F_K02", "run1_F_K03",
                                            "run1_F_K04", "run1_F_K05", "run1_F_K06", "run1_S_K03"};
    ASSERT_EQ(thumbs.size(), order.size());
    // The layout: cards of 280 pixels with gaps of 16, four to a row in a
    // window 1280 wide, from the left margin of 24 (the thumbnail 9 further
    // in, centred in its frame of 262 x 200); each kind starts a new row.
    std::map<std::string, int> placed;
    const Thumb* row_start = nullptr;
    for (std::size_t k = 0; k < thumbs.size(); ++k) {
        const Thumb& t = thumbs[k];
        EXPECT_EQ(t.name, order[k]);
        EXPECT_EQ(t.state, "ok") << t.name;
        const auto [pw, ph] = png_dimensions((out / (t.name + ".png")).string());
        EXPECT_NEAR(pw > ph ? t.w : t.h, pw > ph ? 262 : 200, 1.5) << t.name;
        const int position = placed[t.name.substr(5, 1)]++;
        const int column = position % 4;
        EXPECT_NEAR(t.x, 24 + 9 + column * 296 + (262 - t.w) / 2, 1.5) << t.name;
        if (column > 0) {
            EXPECT_NEAR(t.y + t.h / 2, row_start->y + row_start->h / 2, 1.5) << t.name;
        } else if (row_start) {
            EXPECT_GT(t.y, thumbs[k - 1].y + thumbs[k - 1].h + 40) << t.name;
        }
        if (column == 0) row_start = &t;
    }

    // The screenshot shows each picture where the page put its thumbnail, and
    // not merely somewhere near it.
    const std::string shot = dir.file("shot.png");
    const std::string command =
        "timeout -k 5 120 chromium --headless --no-sandbox --disable-gpu --disable-background-networking "
        "--disable-component-update --disable-sync --no-first-run --user-data-dir=" + quoted(dir.file("profile")) +
        " --hide-scrollbars --force-device-scale-factor=1 --window-size=1280," + std::to_string(height) +
        " --screenshot=" + quoted(shot) + " " + quoted("file://" + (out / "index.html").string()) + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (const Thumb& t : thumbs) {
        const std::string png = (out / (t.name + ".png")).string();
        const auto [pw, ph] = png_dimensions(png);
        const std::vector<double> picture = region_darkness(png, 0, 0, pw, ph, 12);
        EXPECT_GT(correlation(picture, region_darkness(shot, t.x, t.y, t.w, t.h, 12)), 0.9) << t.name;
        EXPECT_LT(correlation(picture, region_darkness(shot, t.x + t.w / 4, t.y + t.h / 4, t.w, t.h, 12)), 0.6)
            << t.name;
    }

    // A picture missing beside the page is marked on it.
    fs::remove(out / "run1_F_K04.png");
    int broken = 0;
    for (const Thumb& t : browse(out / "index.html", dir.path() / "profile", height)) broken += t.state == "broken";
    EXPECT_EQ(broken, 1);
}
