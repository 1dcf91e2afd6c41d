// The layout file "MURAL.INI": the plot size, origin, character height, font,
// plot and palette file of a whole run.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string layout = fuzz::bytes_of(data, size);
    // The plot file it names is written: only into the scratch directory.
    if (fuzz::leaves_scratch(layout)) return -1;
    fuzz::start();
    fuzz::put("MURAL.INI", layout);
    fuzz::run_mural({"run1"}, "V\nK02\n\n\n3\n\n\n\n\n");
    return 0;
}
