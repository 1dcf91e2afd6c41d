// A plot file as plt2img reads it: the HP-GL/2 and HP-GL interpreter on a
// canvas that only takes what it is given, then the whole conversion into a
// PNG at a low resolution (page choice, pens, fills, hatching through cairo)
// and into a PDF (MURAL's own writer, every page).
#include "fuzz_support.h"

#include "preview/hpgl.h"
#include "preview/preview.h"

namespace {

struct NullCanvas : preview::Canvas {
    void begin_page(const preview::PageStart&) override {}
    void stroke(std::span<const preview::Subpath>, const preview::Pen&) override {}
    void fill(std::span<const preview::Subpath>, const preview::Fill&) override {}
    void end_page() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view plot(reinterpret_cast<const char*>(data), size);
    NullCanvas canvas;
    try {
        preview::interpret(plot, canvas, [](std::string_view) {});
    } catch (const platform::Fatal&) {
        return 0;
    }
    preview::RenderOptions options;
    options.dpi = 10.0;
    options.warn = [](std::string_view) {};
    for (preview::Format format : {preview::Format::png, preview::Format::pdf}) {
        try {
            preview::render(plot, format, options);
        } catch (const platform::Fatal&) {
        }
    }
    return 0;
}
