// The list file of a superposition: title, cases "number file weight", the
// output file; the cases may name the small run's result file.
#include "fuzz_support.h"

#include "evaluation/superposition.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string list = fuzz::bytes_of(data, size);
    // The output file it names is written: only into the scratch directory.
    // A stored name's backslashes become "/".
    if (fuzz::leaves_scratch(list) || list.find('\\') != std::string::npos) return -1;
    fuzz::start();
    fuzz::put("fuzz.lst", list);
    std::istringstream in("V\n\n\n\n");
    std::ostringstream out;
    platform::console().attach(in, out, out);
    try {
        evaluation::SUPERP("fuzz.lst", "Fuzz", false, "QEM", "run1.ERG");
    } catch (const platform::Fatal& f) {
        out << f.what() << '\n';
    }
    if (const char* v = std::getenv("FUZZ_VERBOSE"); v && *v == '1') std::cerr << out.str();
    platform::console().attach_standard_streams();
    platform::discard_temporary_files();
    return 0;
}
