// The raster definition file "MURAL.RAS", used by a colour raster of a level
// and of a vertical section.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (const char* answers : {"F\nK02\n\n\n\n\n\n", "W\nJ05\n\n\n\n\n\n\n\n"}) {
        fuzz::start();
        fuzz::put("MURAL.RAS", fuzz::bytes_of(data, size));
        fuzz::run_mural({"run1", "/l:RO"}, answers);
    }
    return 0;
}
