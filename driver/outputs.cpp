// The outputs of a run. Inputs are compared by identity (the same file by
// any name: links, "./", another case already resolved), outputs by the name
// they will have; an answers file counts through the standard input.
//
// Pictures are drawn from the copy of the plot stream that VELIN keeps while
// the plot files are held, never from the plot file by its final name: there
// another run may have put its own plot meanwhile.
#include "driver/outputs.h"

#include <cstdio>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include "driver/settings.h"
#include "mapelements/background.h"
#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/files.h"
#include "preview/preview.h"
#include "resultfile/model.h"
#include "velin/velin.h"

namespace driver {

namespace {

constexpr char ROUTINE[] = "MURAL";

struct Named {
    std::string role;  // "die Ergebnisdatei", "das Bild"
    std::string path;
};

std::vector<std::string> picture_formats() {
    std::vector<std::string> formats;
    std::istringstream list(settings().GR);
    for (std::string format; std::getline(list, format, ',');) formats.push_back(format);
    return formats;
}

// Every file the run reads or may still read.
std::vector<Named> run_inputs() {
    const Settings& s = settings();
    std::vector<Named> inputs;
    auto add = [&](std::string role, const std::string& path) {
        if (!path.empty() && platform::file_exists(path)) inputs.push_back({std::move(role), path});
    };
    const resultfile::ReaderState& rs = resultfile::reader_state();
    add("die Ergebnisdatei", platform::lookup_file(s.FILE));
    if (!s.DIF_FILE.empty()) add("die Diffusionskoeffizienten-Datei", platform::lookup_file(s.DIF_FILE));
    add("die Hindernisdatei", resultfile::obstacles().file);
    if (!s.GEB_FILE.empty())
        add("die Gebäudedatei", platform::resolve_stored_name(s.GEB_FILE, rs.result_name.empty() ? s.FILE : rs.result_name));
    const mapelements::BackgroundDefinition& b = mapelements::background();
    if (b.read) add("die Hintergrund-Beschreibung", platform::lookup_file(b.file));
    if (!b.DIGDAT.empty()) add("die Hintergrunddatei", platform::lookup_file(b.DIGDAT));
    add("die Layoutdatei", platform::find_file(s.PDF_FILE).value_or(platform::lookup_file("pltdef.ini")));
    const std::string palette = s.PAL_FILE.substr(0, s.PAL_FILE.find(','));
    if (palette.find_first_not_of(' ') != std::string::npos && palette[palette.find_first_not_of(' ')] != '*')
        add("die Palettendatei", velin::palette_path(palette));
    add("die Isoliniendatei", platform::lookup_file("MURAL.ISO"));
    add("die Rasterdatei", platform::lookup_file("MURAL.RAS"));
    if (s.COMP) add("die Vergleichsdatei", platform::lookup_file(s.VFILE));
    if (s.MULTI) add("die Listendatei", platform::lookup_file(s.MUL_FILE));
    if (s.WANDF) add("das Protokoll", platform::lookup_file("FLX.LOG"));
    if (!s.MUL_OUTPUT.empty()) add("die soeben geschriebene Überlagerung", s.MUL_OUTPUT);
    return inputs;
}

// Whether a name is the file that the standard input reads (an answers file).
bool is_standard_input(const std::string& path) {
    struct stat in {}, out {};
    return ::fstat(0, &in) == 0 && S_ISREG(in.st_mode) && ::stat(path.c_str(), &out) == 0 &&
           in.st_dev == out.st_dev && in.st_ino == out.st_ino;
}

// The bytes of a plot stream kept for its pictures, as much as a picture can take.
constexpr std::size_t kKeptStreamBytes = preview::kMaxPlotBytes;

}  // namespace

std::string picture_name(const std::string& plot, std::string_view format) {
    const std::size_t name = plot.find_last_of('/') + 1;
    const std::size_t dot = plot.rfind('.');
    const std::string stem = dot != std::string::npos && dot >= name ? plot.substr(0, dot) : plot;
    return stem + "." + std::string(format);
}

namespace {

// Refuses a plot name, or the name of one of its pictures, that may not be
// written: see check_outputs().
void check_plot_names(const std::string& plot, const std::vector<Named>& inputs) {
    std::vector<Named> outputs = {{"die Plotdatei", plot}};
    for (const std::string& format : picture_formats())
        outputs.push_back({"das Bild", picture_name(plot, format)});
    for (const Named& out : outputs) {
        const std::string what = (out.role == "die Plotdatei" ? "Plotdatei " : "Bild ") + out.path;
        if (const int error = platform::check_output_name(out.path))
            platform::fatal(ROUTINE, what + " kann nicht geschrieben werden: " + platform::describe_error(error));
        for (const Named& in : inputs)
            if (platform::same_file_ignoring_case(out.path, in.path))
                platform::fatal(ROUTINE, what + " ist " + in.role + " " + in.path +
                                             " des Laufs und würde überschrieben: einen anderen Namen wählen");
        if (is_standard_input(out.path))
            platform::fatal(ROUTINE, what + " ist die Antwortdatei der Standardeingabe und würde überschrieben: " +
                                         "einen anderen Namen wählen");
        if (&out != &outputs.front() && platform::same_file(out.path, plot))
            platform::fatal(ROUTINE, what + " (/g=" + settings().GR + ") wäre die Plotdatei " + plot +
                                         " selbst: einen anderen Namen für die Plotdatei wählen");
    }
}

}  // namespace

void check_outputs() {
    const Settings& s = settings();
    std::vector<Named> inputs = run_inputs();
    check_plot_names(s.PLT_FILE, inputs);
    // Further plot files of a series are named only when they begin.
    velin::hold_plot_files(true, s.GR.empty() ? 0 : kKeptStreamBytes,
                           [inputs = std::move(inputs)](const std::string& plot) { check_plot_names(plot, inputs); });
}

void finish_outputs() {
    const Settings& s = settings();
    const std::vector<velin::FinishedPlot> plots = velin::finished_plots();
    std::vector<std::unique_ptr<platform::OutputFile>> pictures;
    std::vector<std::string> names;
    preview::RenderOptions options;
    for (const velin::FinishedPlot& plot : plots) {
        // The formats of a plot are drawn at the same time.
        std::vector<std::string> plot_names, labels;
        std::vector<preview::Format> formats;
        for (const std::string& format : picture_formats()) {
            const std::string name = picture_name(plot.name, format);
            if (!plot.stream_kept)
                platform::fatal(ROUTINE, "Bild " + name + " nicht gezeichnet: Plotdatei " + plot.name +
                                             " ist zu groß für ein Bild");
            plot_names.push_back(name);
            labels.push_back("Bild " + name);
            formats.push_back(preview::format_of(name));
        }
        const std::vector<std::string> drawn = preview::render_all(plot.stream, formats, options, labels);
        for (std::size_t k = 0; k < drawn.size(); ++k) {
            auto file = std::make_unique<platform::OutputFile>();
            if (!file->open(plot_names[k]) || !file->write(drawn[k]) || !file->finish())
                platform::fatal(ROUTINE, "Bild " + plot_names[k] + " konnte nicht geschrieben werden: " +
                                             platform::describe_error(file->error()));
            pictures.push_back(std::move(file));
            names.push_back(plot_names[k]);
        }
    }
    {
        // Another run finishing in the same directory waits: its plot and
        // pictures replace these only as a whole.
        platform::DirectoryLock lock(plots.empty() ? s.PLT_FILE : plots.front().name);
        velin::commit_plot_files();
        for (std::size_t k = 0; k < pictures.size(); ++k) {
            if (pictures[k]->commit()) continue;
            // An older picture beside the new plot would show another plot.
            std::remove(names[k].c_str());
            platform::fatal(ROUTINE, "Bild " + names[k] + " konnte nicht geschrieben werden: " +
                                         platform::describe_error(pictures[k]->error()));
        }
    }
    for (const std::string& name : names) platform::console().line(" Bild: " + name);
}

}  // namespace driver
