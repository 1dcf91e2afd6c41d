// A program that returns from main while its plot file is open, as a tool
// that forgets DONEPL does. Status 2 when the plot file was never begun, so
// that the test cannot pass without an open plot.
#include <filesystem>
#include <string_view>
#include <vector>

#include "velin/velin.h"

int main() {
    velin::INIPLO("HPGL2", "DINA4Q");
    velin::PLFILE("MURAL.PLT");
    velin::AREA2D(100.0f, 100.0f);
    velin::GRAF(0.0f, 10.0f, 100.0f, 0.0f, 10.0f, 100.0f);
    // Enough points to fill the first record, so that the file is written.
    std::vector<float> x, y;
    for (int i = 0; i < 400; ++i) {
        x.push_back(0.25f * static_cast<float>(i));
        y.push_back(static_cast<float>(i % 7));
    }
    velin::CURVE(x, y, static_cast<int>(x.size()), 0);
    for (const auto& entry : std::filesystem::directory_iterator("."))
        if (std::string_view(entry.path().filename().c_str()).starts_with(".MURAL.PLT.")) return 0;
    return 2;
}
