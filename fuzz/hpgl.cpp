// A plot file as plt2img reads it: the HP-GL/2 and HP-GL interpreter, with a
// canvas that only takes what it is given.
#include "fuzz_support.h"

#include "preview/hpgl.h"

namespace {

struct NullCanvas : preview::Canvas {
    void begin_page(const preview::PageStart&) override {}
    void stroke(std::span<const preview::Subpath>, const preview::Pen&) override {}
    void fill(std::span<const preview::Subpath>, const preview::Fill&) override {}
    void end_page() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NullCanvas canvas;
    try {
        preview::interpret(std::string_view(reinterpret_cast<const char*>(data), size), canvas,
                           [](std::string_view) {});
    } catch (const platform::Fatal&) {
    }
    return 0;
}
