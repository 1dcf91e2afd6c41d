// The background definition "LESDIG.DEF", read at start-up and used to draw
// the example's background data under a level picture.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string background = fuzz::source_file("examples/hintergrund.dig");
    fuzz::start();
    fuzz::put("LESDIG.DEF", fuzz::bytes_of(data, size));
    fuzz::put("hintergrund.dig", background);
    fuzz::run_mural({"run1", "/l:RO"}, "V\nK02\n\n\n3\n\n\n\n\n");
    return 0;
}
