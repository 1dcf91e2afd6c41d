// plt2img: the picture of a plot file as PDF, SVG or PNG.
//
//   plt2img PLOT.plt OUT.pdf|OUT.svg|OUT.png ... [--dpi N] [--page WxH]
// Several outputs are drawn at the same time.
#include <charconv>
#include <string>
#include <vector>

#include "platform/command.h"
#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/files.h"
#include "preview/preview.h"

namespace {

constexpr char ROUTINE[] = "PLT2IMG";

constexpr char USAGE[] =
    "Aufruf: plt2img PLOTDATEI AUSGABE.pdf|AUSGABE.svg|AUSGABE.png ... [--dpi N] [--page BxH]\n"
    "  mehrere Ausgabedateien werden gleichzeitig gezeichnet\n"
    "  --dpi N     Auflösung des PNG-Bildes (Vorgabe 150)\n"
    "  --page BxH  Seitengröße in mm (Vorgabe: kleinstes A-Format ab A4, das die Zeichnung fasst)";

double parse_number(std::string_view text, std::string_view option) {
    double v = 0.0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        platform::fatal(ROUTINE, "ungültiger Wert '" + std::string(text) + "' für " + std::string(option));
    return v;
}

int run(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    preview::RenderOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg == "--help" || arg == "-h") {
            platform::console().line(USAGE);
            return 0;
        }
        if (arg.starts_with("--")) {
            std::string name = arg, value;
            auto eq = arg.find('=');
            if (eq != std::string::npos) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
            } else {
                if (name != "--dpi" && name != "--page")
                    platform::fatal(ROUTINE, "unbekannte Option " + arg + "\n" + USAGE);
                if (i + 1 >= args.size()) platform::fatal(ROUTINE, "Wert fehlt nach " + name);
                value = args[++i];
            }
            if (name == "--dpi") {
                options.dpi = parse_number(value, name);
            } else if (name == "--page") {
                auto x = value.find_first_of("xX");
                if (x == std::string::npos) platform::fatal(ROUTINE, "Seitengröße als BREITExHÖHE in mm angeben");
                options.page_mm = std::pair{parse_number(std::string_view(value).substr(0, x), name),
                                            parse_number(std::string_view(value).substr(x + 1), name)};
            } else {
                platform::fatal(ROUTINE, "unbekannte Option " + name + "\n" + USAGE);
            }
            continue;
        }
        files.push_back(arg);
    }
    if (files.size() < 2) platform::fatal(ROUTINE, std::string("Plotdatei und Ausgabedatei angeben\n") + USAGE);
    preview::render_files(files[0], std::span(files).subspan(1), options);
    return 0;
}

}  // namespace

int main(int argc, char** argv) { return platform::run_command(ROUTINE, argc, argv, run); }
