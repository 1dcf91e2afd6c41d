// Complete flow-line runs of mural, from the start of the program to the
// closed plot file: streamlines of a 200 x 200 level section and
// trajectories of a 400 x 400 level section tracked for 60 s. The wind is a
// smooth pattern of eddies over a westerly drift. Reports wall time and peak
// memory of each mural process.
//
// Usage: bench_flow_run [directory for the files [keep]]   (default: /tmp)
#include <string>

#include "mural_run.h"

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : "/tmp";
    return bench::time_runs(MURAL_EXECUTABLE, dir,
                            {{200, "S\nK02\n\n\n\n", "streamlines", 0.2}, {400, "T\nK02\n60\n\n\n", "trajectories", 0.2}},
                            argc > 2 && std::string(argv[2]) == "keep");
}
