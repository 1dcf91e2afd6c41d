// Complete scalar runs of mural, from the start of the program to the closed
// plot file: the horizontal speed of a 600 x 600 level section as a colour
// raster, and of a 1200 x 1200 and a 2400 x 2400 level section as labelled
// isolines (the labels keep off each other and off the two obstacles). The
// wind is a smooth pattern of eddies, so the pictures are full of structure.
// Reports wall and processor time and peak memory of each mural process.
//
// Usage: bench_scalar_run [directory for the files [keep]]   (default: /tmp)
#include <string>

#include "mural_run.h"

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : "/tmp";
    bench::write_text(dir + "/MURAL.RAS",
          "F\n'Horizontalwind'\n-\n0.5 9 'a'\n1.0 10 'b'\n1.5 11 'c'\n2.0 12 'd'\n2.5 13 'e'\n3.0 15 'f'\n"
          "3.5 17 'g'\n4.0 19 'h'\n4.5 20 'i'\n5.0 22 'j'\n99. 24 'k'\n---\n");
    bench::write_text(dir + "/MURAL.ISO", "F\n0.5 1 1 1 1\n1.0 1 1 1 1\n1.5 1 1 1 1\n2.0 1 1 1 1\n2.5 1 1 1 1\n3.0 1 1 1 1\n"
                              "3.5 1 1 1 1\n4.0 1 1 1 1\n4.5 1 1 1 1\n5.0 1 1 1 1\n");
    return bench::time_runs(MURAL_EXECUTABLE, dir,
                            {{600, "F\nK02\n\n\n\n", "raster", 0.3},
                             {1200, "FI\nK02\n\n\n\n", "labelled isolines", 1.0},
                             {2400, "FI\nK02\n\n\n\n", "labelled isolines", 4.0}},
                            argc > 2 && std::string(argv[2]) == "keep", {"/MURAL.RAS", "/MURAL.ISO"});
}
