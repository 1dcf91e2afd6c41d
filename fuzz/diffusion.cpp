// A diffusion-coefficient file beside the small run's result file, drawn as a
// colour raster of KZ.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::start();
    fuzz::put("run1.DIF", fuzz::bytes_of(data, size));
    fuzz::run_mural({"run1.DIF", "/l:RO"}, "K\nK02\n\n\n\n\n\n");
    return 0;
}
