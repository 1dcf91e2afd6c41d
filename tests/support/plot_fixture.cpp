#include "plot_fixture.h"

#include "flowplots/vectors.h"
#include "mapelements/legend.h"
#include "platform/console.h"
#include "velin/velin.h"

namespace testing_support {

void PlotTest::SetUp() {
    platform::console().attach(in_, out_, err_);
    velin::reset();
    mapelements::reset_legend();
    flowplots::reset_reference_arrow();
    plot_file = dir.file("test.plt");
}

void PlotTest::TearDown() {
    velin::reset();
    mapelements::reset_legend();
    flowplots::reset_reference_arrow();
    platform::console().attach_standard_streams();
}

void PlotTest::start_graph(float width, float height, float xmax, float ymax, const char* device) {
    velin::INIPLO(device, "DINA4Q");
    velin::PLFILE(plot_file);
    velin::PHYSOR(20.0f, 20.0f);
    velin::XNONUM();
    velin::YNONUM();
    velin::XTICKS(0);
    velin::YTICKS(0);
    velin::AREA2D(width, height);
    velin::GRAF(0.0f, xmax / 4.0f, xmax, 0.0f, ymax / 4.0f, ymax);
}

long long PlotTest::position() {
    const auto& d = velin::plot_state().dev;
    return static_cast<long long>(d.Irec - 1) * 512 + d.NB - 1;
}

std::string PlotTest::finish() {
    velin::ENDPL(0);
    return read_file(plot_file);
}

std::pair<double, double> PlotTest::page_mm(float xu, float yu) {
    float xm, ym;
    velin::UU2MM(xu, yu, xm, ym);
    int ix, iy;
    velin::MM2ABS(xm, ym, ix, iy);
    return {ix / static_cast<double>(velin::MM_TO_PLOTTER), iy / static_cast<double>(velin::MM_TO_PLOTTER)};
}

std::string PlotTest::plotter_point(float xu, float yu) {
    float xm, ym;
    velin::UU2MM(xu, yu, xm, ym);
    int ix, iy;
    velin::MM2ABS(xm, ym, ix, iy);
    return std::to_string(ix) + "," + std::to_string(iy);
}

void PlotTest::answer(const std::string& input) {
    in_.clear();
    in_.str(input);
}

}  // namespace testing_support
