#include "fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/files.h"
#include "velin/velin.h"

namespace velintest {

namespace {

void put16(std::string& out, int v) {
    auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
}

// Segment display: corners and middles of a 6 x 10 cell (units of 1000).
struct Segment {
    char code;
    int x1, y1, x2, y2;
};
constexpr Segment SEGMENTS[] = {
    {'a', 0, 10, 3, 10}, {'A', 3, 10, 6, 10}, {'b', 6, 10, 6, 5}, {'c', 6, 5, 6, 0},  {'d', 0, 0, 3, 0},
    {'D', 3, 0, 6, 0},   {'e', 0, 5, 0, 0},   {'f', 0, 10, 0, 5}, {'g', 0, 5, 3, 5},  {'G', 3, 5, 6, 5},
    {'h', 0, 10, 3, 5},  {'i', 3, 10, 3, 5},  {'j', 6, 10, 3, 5}, {'k', 3, 5, 0, 0},  {'l', 3, 5, 3, 0},
    {'m', 3, 5, 6, 0},
};

Glyph segments(const std::string& codes, double height) {
    Glyph g;
    for (char c : codes)
        for (const auto& s : SEGMENTS)
            if (s.code == c)
                g.strokes.push_back({{s.x1 * 1000, static_cast<int>(s.y1 * 1000 * height)},
                                     {s.x2 * 1000, static_cast<int>(s.y2 * 1000 * height)}});
    return g;
}

void add_dots(Glyph& g, int y) {
    g.strokes.push_back({{1500, y}, {1500, y + 600}});
    g.strokes.push_back({{4500, y}, {4500, y + 600}});
}

}  // namespace

std::string build_style(const std::map<int, Glyph>& glyphs) {
    std::vector<int> data;
    std::vector<int> header(128, 0);
    for (int g = 1; g <= 102; ++g) {
        header[static_cast<std::size_t>(g - 1)] = static_cast<int>(data.size()) + 1;
        auto it = glyphs.find(g);
        Glyph glyph = it == glyphs.end() ? Glyph{} : it->second;
        data.push_back(glyph.width);
        for (const auto& stroke : glyph.strokes)
            for (std::size_t i = 0; i < stroke.size(); ++i) {
                data.push_back(i == 0 ? stroke[i].first - 32767 : stroke[i].first);
                data.push_back(stroke[i].second);
            }
    }
    data.push_back(0);  // padding word after glyph 102
    header[102] = static_cast<int>(data.size());
    std::string out;
    for (int v : header) put16(out, v);
    for (int v : data) put16(out, v);
    return out;
}

std::map<int, Glyph> segment_font() {
    const std::map<char, std::string> shapes = {
        {'0', "aAbcdDefjk"}, {'1', "bcj"},       {'2', "aAbgGedD"},   {'3', "aAbcdDG"},   {'4', "fgGbc"},
        {'5', "aAfgGcdD"},   {'6', "aAfedDcgG"}, {'7', "aAbc"},       {'8', "aAbcdDefgG"}, {'9', "aAbfgGcdD"},
        {'A', "aAbcefgG"},   {'B', "aAbcdDilG"}, {'C', "aAfedD"},     {'D', "aAbcdDil"},  {'E', "aAfegdD"},
        {'F', "aAfeg"},      {'G', "aAfedDcG"},  {'H', "fecbgG"},     {'I', "aAildD"},    {'J', "bcdDe"},
        {'K', "fegjm"},      {'L', "fedD"},      {'M', "fecbhj"},     {'N', "fecbhm"},    {'O', "aAbcdDef"},
        {'P', "aAbfegG"},    {'Q', "aAbcdDefm"}, {'R', "aAbfegGm"},   {'S', "aAfgGcdD"},  {'T', "aAil"},
        {'U', "fecbdD"},     {'V', "fekj"},      {'W', "fecbkm"},     {'X', "hjkm"},      {'Y', "hjl"},
        {'Z', "aAjkdD"},     {'-', "gG"},        {'+', "gGil"},       {'/', "jk"},        {'(', "jm"},
        {')', "hk"},         {'=', "gGdD"},      {'$', "aAfgGcdDil"}, {'_', "dD"},        {'*', "hjkmil"},
        {'\'', "i"},         {'"', "fb"},        {'!', "i"},          {'?', "aAbGl"},     {'<', "jm"},
        {'>', "hk"},         {'%', "jk"},        {'[', "afed"},       {']', "AbcD"},      {'|', "il"},
    };
    std::map<int, Glyph> font;
    for (const auto& [c, codes] : shapes) font[c - 31] = segments(codes, 1.0);
    for (char c = 'a'; c <= 'z'; ++c) font[c - 31] = segments(shapes.at(static_cast<char>(c - 'a' + 'A')), 0.7);
    font['.' - 31].strokes = {{{2800, 0}, {3200, 0}, {3200, 400}, {2800, 400}, {2800, 0}}};
    font[',' - 31].strokes = {{{3200, 400}, {2600, -800}}};
    font[':' - 31].strokes = {{{3000, 1000}, {3000, 1500}}, {{3000, 5000}, {3000, 5500}}};
    font[' ' - 31].width = 6000;
    const char* umlaut_bases = "AOUaou";
    for (int k = 0; k < 6; ++k) {
        char base = umlaut_bases[k];
        Glyph g = font[base - 31];
        add_dots(g, k < 3 ? 11000 : 8500);
        font[96 + k] = g;
    }
    font[102] = segments("aAfebGcD", 1.0);  // sharp s
    return font;
}

std::map<int, Glyph> outline_font() {
    std::map<int, Glyph> font;
    font['O' - 31].strokes = {{{0, 0}, {6000, 0}, {6000, 10000}, {0, 10000}, {0, 0}},
                              {{2000, 2000}, {2000, 8000}, {4000, 8000}, {4000, 2000}, {2000, 2000}}};
    font['I' - 31].strokes = {{{2000, 0}, {4000, 0}, {4000, 10000}, {2000, 10000}, {2000, 0}}};
    return font;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

bool file_exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::string fatal_text(const std::function<void()>& f) {
    try {
        f();
    } catch (const platform::Fatal& e) {
        return e.what();
    }
    return "(no fatal error)";
}

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

void VelinTest::SetUp() {
    char pattern[] = "/tmp/velin_test_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    plot_ = dir_ + "/test.plt";
    write_file(dir_ + "/SIMPLX.STY", build_style(segment_font()));
    write_file(dir_ + "/SWISSM.STY", build_style(outline_font()));
    ::setenv("VELIN_DIR", dir_.c_str(), 1);
    platform::console().attach(in_, out_, err_);
    velin::reset();
}

void VelinTest::TearDown() {
    velin::reset();
    platform::console().attach_standard_streams();
    ::unsetenv("VELIN_DIR");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

void VelinTest::start_graph(const char* device, float xax, float yax) {
    velin::INIPLO(device, "DINA4Q");
    velin::PLFILE(plot_);
    velin::XNONUM();
    velin::YNONUM();
    velin::XTICKS(0);
    velin::YTICKS(0);
    velin::AREA2D(xax, yax);
    velin::GRAF(0, 10, xax, 0, 10, yax);
}

long long VelinTest::position() const {
    const auto& d = velin::plot_state().dev;
    return static_cast<long long>(d.Irec - 1) * 512 + d.NB - 1;
}

std::string VelinTest::finish(long long from) {
    velin::ENDPL(0);
    std::string all = read_file(velin::plot_state().plt_file);
    return from <= static_cast<long long>(all.size()) ? all.substr(static_cast<std::size_t>(from)) : std::string();
}

}  // namespace velintest
