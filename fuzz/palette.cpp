// A palette file: VELIN's default palette "VELIN.PAL", loaded by a run that
// draws a colour raster, and a named palette of it chosen by the layout file.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (const char* layout : {"", "pa=C:\\VELIN\\VELIN.PAL,GRAU\n"}) {
        fuzz::start();
        fuzz::put(fuzz::velin_dir() / "VELIN.PAL", fuzz::bytes_of(data, size));
        fuzz::put("MURAL.INI", layout);
        fuzz::run_mural({"run1", "/l:RO"}, "F\nK02\n\n\n\n\n\n");
    }
    return 0;
}
