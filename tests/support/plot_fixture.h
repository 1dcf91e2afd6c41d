// A plot open on a graph, for the tests of the routines that draw through
// VELIN: MURAL's own style files, the console on string streams, and the
// plot stream read back at the end.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>

#include "test_support.h"

namespace testing_support {

class PlotTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A graph of width x height mm showing 0..xmax and 0..ymax in user units,
    // without numbers, names or ticks.
    void start_graph(float width = 100.0f, float height = 100.0f, float xmax = 200.0f, float ymax = 200.0f,
                     const char* device = "HPGL2");
    // Bytes of the plot stream written so far.
    static long long position();
    // Ends the plot and returns the whole stream.
    std::string finish();
    // Page millimetres (as the plot file has them) of a point in user units.
    static std::pair<double, double> page_mm(float xu, float yu);
    // Plotter units of a point in user units, as "x,y".
    static std::string plotter_point(float xu, float yu);

    void answer(const std::string& input);
    std::string out() const { return out_.str(); }

    ScratchDir dir;
    std::string plot_file;
    std::istringstream in_;
    std::ostringstream out_, err_;
};


}  // namespace testing_support
