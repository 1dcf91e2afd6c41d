// A result file, read by mural and drawn as wind arrows of a level with the
// obstacles of its family.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes = fuzz::bytes_of(data, size);
    fuzz::start();
    fuzz::put("fuzz.ERG", bytes);
    if (fuzz::is_trz(bytes))
        fuzz::put("run1.IGB", resultfile::encode_obstacle_file(fuzz::small_obstacles(2.1f, "TRZ V3.2")));
    fuzz::run_mural({"fuzz", "/l:RO"}, fuzz::version_answer(bytes) + "V\nK02\n\n\n3\n\n\n\n\n");
    return 0;
}
