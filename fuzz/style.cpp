// A style file: VELIN's default style "SIMPLX", which strokes every text of a
// plot, in a run that draws wind arrows with axes and legend.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::start();
    fuzz::put(fuzz::velin_dir() / "SIMPLX.STY", fuzz::bytes_of(data, size));
    fuzz::run_mural({"run1", "/l:RO"}, "V\nK02\n\n\n3\n\n\n\n\n");
    return 0;
}
