// Returns from main with its plot file open, as a tool that forgets DONEPL
// does; status 2 when the plot file was not begun, so no test passes without.
#include <filesystem>

#include "velin/velin.h"

int main() {
    velin::INIPLO("HPGL2", "DINA4Q");
    velin::PLFILE("MURAL.PLT");
    velin::AREA2D(100.0f, 100.0f);
    velin::GRAF(0.0f, 10.0f, 100.0f, 0.0f, 10.0f, 100.0f);
    // Enough lines to fill the first record, which opens the file.
    for (int i = 0; i < 200; ++i) velin::PENDN(i % 2 ? 0.0f : 100.0f, 0.5f * static_cast<float>(i));
    for (const auto& entry : std::filesystem::directory_iterator("."))
        if (entry.path().filename().string().starts_with(".MURAL.PLT.")) return 0;
    return 2;
}
