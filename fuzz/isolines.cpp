// The isoline value file "MURAL.ISO", used by an isoline picture of a level
// and of a vertical section.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (const char* answers : {"FI\nK02\n\n1\n0\n\n\n\n\n", "WI\nJ05\n\n\n\n0.1\n0\n\n\n\n\n"}) {
        fuzz::start();
        fuzz::put("MURAL.ISO", fuzz::bytes_of(data, size));
        fuzz::run_mural({"run1", "/l:RO"}, answers);
    }
    return 0;
}
