// The console answers of a whole run of the small run, with the example's
// background definition and data so that land use can be drawn.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string definition = fuzz::source_file("examples/LESDIG.DEF");
    static const std::string background = fuzz::source_file("examples/hintergrund.dig");
    fuzz::start();
    fuzz::put("LESDIG.DEF", definition);
    fuzz::put("hintergrund.dig", background);
    fuzz::run_mural({"run1", "/n", "/l:RO"}, fuzz::bytes_of(data, size));
    return 0;
}
