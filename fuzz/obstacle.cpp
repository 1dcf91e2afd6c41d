// The obstacle file that the small run's header names, drawn under the wind
// arrows of a level and of a vertical section.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes = fuzz::bytes_of(data, size);
    for (const char* answers : {"V\nK02\n\n\n3\n\n\n\n\n", "V\nJ05\n\n\n\n3\n\n\n\n\n"}) {
        fuzz::start();
        fuzz::put("run1.IGB", bytes);
        // The small run is a QEM run; a TRZ obstacle file goes with a TRZ result file.
        if (fuzz::is_trz(bytes))
            fuzz::put("run1.ERG", resultfile::encode_result_file(fuzz::small_run(2.1f, "TRZ V3.2")));
        fuzz::run_mural({"run1", "/l:RO"}, fuzz::version_answer(bytes) + answers);
    }
    return 0;
}
