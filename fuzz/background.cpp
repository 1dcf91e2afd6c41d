// Digitised background data, drawn under a level picture as the example's
// definition "LESDIG.DEF" describes it.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string definition = fuzz::source_file("examples/LESDIG.DEF");
    fuzz::start();
    fuzz::put("LESDIG.DEF", definition);
    fuzz::put("hintergrund.dig", fuzz::bytes_of(data, size));
    fuzz::run_mural({"run1", "/l:RO"}, "V\nK02\n\n\n3\n\n\n\n\n");
    return 0;
}
