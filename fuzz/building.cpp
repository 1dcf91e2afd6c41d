// The building file that the small run's header names, drawn as the original
// obstacles ("/o") of a level picture.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::start();
    fuzz::put("run1.dat", fuzz::bytes_of(data, size));
    fuzz::run_mural({"run1", "/o", "/l:RO"}, "V\nK02\n\n\n3\n\n\n\n\n");
    return 0;
}
