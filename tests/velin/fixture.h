// Test support for VELIN: a temporary VELIN_DIR with style files built here
// (independently of the library's reader), the console attached to string
// streams, and access to the plot stream.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace velintest {

using Stroke = std::vector<std::pair<int, int>>;  // points in 1/10000 of the text height

struct Glyph {
    int width = 6000;
    std::vector<Stroke> strokes;
};

// Builds a style file: 128 header words, glyphs 1..102, one padding word.
std::string build_style(const std::map<int, Glyph>& glyphs);
// A readable stroke font (segment shapes) for all 102 glyphs.
std::map<int, Glyph> segment_font();
// An outline style: "O" a square ring, "I" a bar, every other glyph empty.
std::map<int, Glyph> outline_font();

std::string read_file(const std::string& path);
// The text of the fatal error that f stops with, "(no fatal error)" when it returns.
std::string fatal_text(const std::function<void()>& f);
// How often `what` occurs in `text`.
int count(const std::string& text, const std::string& what);
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);

class VelinTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // INIPLO, PLFILE, AREA2D and GRAF of a 100 x 100 mm area (0..100 on both
    // axes), without numbers, names or ticks, so that the graph start is short.
    void start_graph(const char* device, float xax = 100.0f, float yax = 100.0f);
    // Bytes of the plot stream written so far (records and buffer).
    long long position() const;
    // Ends the plot and returns the stream from `from` on.
    std::string finish(long long from = 0);
    std::string out() const { return out_.str(); }
    void clear_out() { out_.str(""); }

    std::string dir_;
    std::string plot_;
    std::ostringstream out_, err_;
    std::istringstream in_;
};

}  // namespace velintest
