// Expanding the list. For each line: the runs of its run field, then for each
// run the sections of its items in the order written (ranges ascending, "*"
// over the whole grid). Each picture gets
//   the name    <run>_<picture>_<section>[_<suffix>], the section with at
//               least two digits, as many as the grid's largest index has;
//   the answers [j for each question about an older format version]
//               [with /n: the first two given answers, for the short
//               description and the obstacles] picture, section, the other
//               given answers, then empty lines for every further question;
//   the inputs  the run's files, and of the settings files in the working
//               folder those that its kind of picture reads.
#include "atlas/plan.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <sstream>

#include "platform/files.h"
#include "platform/freeformat.h"
#include "platform/text.h"

namespace atlas {

namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string trim(std::string_view text) {
    std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

std::string one_decimal(float value) { return platform::fixed(value, 0, 1); }

// The settings files of the working folder, read once: which of them exist
// decides what a picture depends on.
struct SettingsFiles {
    std::vector<std::string> layout;     // the names mural tries for its layout file
    std::string palette;                 // the palette the layout file names
    std::string background_data;         // the map data that LESDIG.DEF names
    bool background_asks = false;        // "DI=?": mural would ask for the name

    SettingsFiles() : layout{"MURAL.INI", "PLTDEF.INI", "pltdef.ini"} {
        for (const std::string& name : layout) {
            std::optional<std::string> text = read(name);
            if (!text) continue;
            for (const std::string& line : lines(*text)) {
                const std::string content = trim(line.substr(0, line.find('!')));
                if (lower(content.substr(0, 2)) != "pa" || content.find('=') == std::string::npos) continue;
                std::string value = trim(content.substr(content.find('=') + 1));
                value = trim(value.substr(0, value.find(',')));
                if (!value.empty()) palette = platform::velin_file(value);
            }
            break;
        }
        if (std::optional<std::string> text = read("LESDIG.DEF")) {
            for (const std::string& line : lines(*text)) {
                const std::string content = trim(line.substr(0, line.find('!')));
                const std::size_t eq = content.find('=');
                if (content.size() < 2 || eq == std::string::npos) continue;
                if (std::toupper(static_cast<unsigned char>(content[0])) != 'D' ||
                    std::toupper(static_cast<unsigned char>(content[1])) != 'I')
                    continue;
                background_data = trim(content.substr(eq + 1));
                background_asks = background_data.find('?') != std::string::npos;
            }
        }
    }

    static std::optional<std::string> read(const std::string& name) {
        std::optional<std::string> path = platform::find_file(name);
        if (!path) return std::nullopt;
        std::uint64_t size = 0;
        int fd = platform::open_regular_file(*path, size);
        if (fd < 0 || size > platform::kMaxTextFileBytes) {
            if (fd >= 0) ::close(fd);
            return std::nullopt;
        }
        ::close(fd);
        return platform::read_text_file(*path, "ATLAS");
    }

    static std::vector<std::string> lines(const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            out.push_back(line);
        }
        return out;
    }
};

std::string kind_name(const std::string& picture) {
    static const std::map<char, std::string> names = {
        {'V', "Vektorpfeile"},      {'S', "Stromlinien"},
        {'T', "Trajektorien"},      {'F', "Horizontalwind"},
        {'W', "Vertikalwind"},      {'G', "Abweichung von der Anströmung"},
        {'D', "Divergenz"},         {'K', "Diffusionskoeffizienten"},
        {'X', "Differenz Horizontalwind"}, {'Y', "Differenz Vektorpfeile"},
        {'C', "Differenz Abweichung"}};
    std::string name = names.at(picture[0]);
    if (std::string_view("FWGDKXC").find(picture[0]) != std::string_view::npos)
        name += picture.size() > 1 ? ", Isolinien" : ", Raster";
    return name;
}

// The options of a line as mural gets them, checked; the picture formats
// asked for with /g are taken out and added to `formats`.
struct Options {
    std::vector<std::string> mural;
    bool asks = false;       // "/n": short description and obstacles are asked first
    bool originals = false;  // "/o": the digitised buildings are drawn
    bool comparison = false; // "/v": difference pictures
    std::vector<std::string> inputs;
    std::vector<std::string> formats;
};

// Splits an option argument as mural does: a "/" glued inside starts another
// option unless a ":" or "=" stands before it.
std::vector<std::string> split_option(const std::string& raw) {
    std::string text = raw;
    if (text[0] == '-') text = "/" + text.substr(std::min(text.find_first_not_of('-'), text.size()));
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t pos = 1; pos <= text.size(); ++pos) {
        if (pos < text.size() && text[pos] != '/') continue;
        if (pos < text.size() && text.substr(start, pos - start).find_first_of(":=") != std::string::npos) continue;
        if (pos > start + 1) pieces.push_back(text.substr(start, pos - start));
        start = pos;
    }
    return pieces;
}

bool read_options(const ListLine& line, Options& out, std::vector<ListError>& errors) {
    bool sound = true;
    for (const OptionItem& item : line.options) {
        auto fail = [&](const std::string& text) {
            errors.push_back({item.at, text});
            sound = false;
        };
        for (const std::string& option : split_option(item.text)) {
            const std::string name = lower(option.substr(0, option.find_first_of(":=")));
            const std::size_t sep = option.find_first_of(":=");
            // Like mural: the value follows ":" or "=", or the option's letter directly ("/f3").
            const std::string value = sep != std::string::npos ? option.substr(sep + 1) : option.substr(std::min<std::size_t>(2, option.size()));
            if (name == "/n" || name == "/m" || name == "/dr" || name == "/avo" || name == "/o0" || name == "/o") {
                out.asks = out.asks || name == "/n";
                out.originals = out.originals || name == "/o";
                out.mural.push_back(option);
            } else if (name.starts_with("/de")) {
                fail("Option " + option + " (Debug) hält an und wartet auf die Eingabetaste; im Atlas nicht möglich");
            } else if (name[1] == 'p') {
                fail("Option " + option + ": die Plotdatei benennt der Atlas (<Lauf>_<Bildart>_<Schnitt>.plt)");
            } else if (name[1] == '$' || name[1] == 'w') {
                fail("Option " + option + " wertet aus und zeichnet kein Bild; im Atlas nicht möglich");
            } else if (name[1] == 'f') {
                const bool digits = !value.empty() && value.find_first_not_of("0123456789") == std::string::npos;
                if (!digits) fail("Option " + option + ": Stiftnummer erwartet (/f=3)");
                else out.mural.push_back(option);
            } else if (name[1] == 'l') {
                const std::string code = lower(value);
                if (code != "ul" && code != "ur" && code != "ro" && code != "ru" && code != "no" && code != "xy")
                    fail("Option " + option + ": Lage der Legende UL, UR, RO, RU, NO oder XY erwartet");
                else out.mural.push_back(option);
            } else if (name[1] == 'x') {
                std::vector<std::optional<double>> v;
                const bool four = sep != std::string::npos && platform::parse_reals(value, v, 4) && v.size() == 4 &&
                                  std::all_of(v.begin(), v.end(), [](const auto& x) { return x.has_value(); });
                if (!four) fail("Option " + option + ": der Ausschnitt braucht seine Grenzen, /x:xvon,xbis,yvon,ybis");
                else out.mural.push_back(option);
            } else if (name[1] == 'g') {
                std::istringstream in(lower(value));
                for (std::string f; std::getline(in, f, ',');) {
                    f = trim(f);
                    if (f != "png" && f != "svg" && f != "pdf") fail("Option " + option + ": Bildformat png, svg oder pdf erwartet");
                    else out.formats.push_back(f);
                }
                if (value.empty()) fail("Option " + option + ": Bildformat png, svg oder pdf erwartet");
            } else if (name[1] == 'v') {
                if (sep == std::string::npos || trim(value).empty()) {
                    fail("Option " + option + ": die Vergleichsdatei angeben, /v=datei.ERG");
                } else {
                    out.comparison = true;
                    out.inputs.push_back(trim(value));
                    out.mural.push_back(option);
                }
            } else {
                fail("unbekannte Option " + option + " (möglich: /dr /f=ii /l:pos /m /n /o /o0 /x:... /g=pdf /v=...)");
            }
        }
    }
    return sound;
}

// "K03": the index with as many digits as the largest index of its kind, at least two.
std::string section_name(char kind, int index, int limit) {
    const std::string digits = std::to_string(index);
    const std::size_t width = std::max<std::size_t>(2, std::to_string(limit).size());
    return std::string(1, kind) + std::string(width > digits.size() ? width - digits.size() : 0, '0') + digits;
}

// Where a section lies, as the gallery names it.
std::string where(const RunInfo& run, char letter, char kind, int index) {
    auto at = [](const std::vector<float>& v, int i) { return v[static_cast<std::size_t>(i - 1)]; };
    if (kind == 'K') return "z=" + one_decimal(letter == 'W' ? at(run.z_faces, index) : at(run.z_centres, index)) + " m";
    if (kind == 'M') return std::to_string(index) + (index == 1 ? " Schicht" : " Schichten") + " über Grund";
    if (kind == 'J') return "y=" + one_decimal(at(run.y_centres, index)) + " m";
    return "x=" + one_decimal(at(run.x_centres, index)) + " m";
}

// How a picture of the run is drawn: formats, the answers mural is given,
// the settings shown, the input files it depends on and its definition.
void fill_in_run(Picture& p, const ListLine& line, const Options& options, const SettingsFiles& settings, char kind,
                 bool pdf) {
    const RunInfo* run = p.run;
    const char letter = line.picture[0];
    const bool isolines = line.picture.size() > 1;
    p.options = options.mural;
    p.formats = "png,svg";
    const bool with_pdf = pdf || std::find(options.formats.begin(), options.formats.end(), "pdf") != options.formats.end();
    if (with_pdf) p.formats += ",pdf";

    std::vector<std::string> answers;
    answers.insert(answers.end(), static_cast<std::size_t>(run->version_questions), "j");
    std::size_t given = 0;
    if (options.asks)
        for (int k = 0; k < 2; ++k, ++given)
            answers.push_back(given < line.answers.size() ? line.answers[given] : std::string());
    answers.push_back(line.picture);
    answers.push_back(p.section);
    for (; given < line.answers.size(); ++given) answers.push_back(line.answers[given]);
    for (const std::string& a : answers) p.answers += a + "\n";
    p.answers += std::string(kDefaultAnswers, '\n');

    for (std::size_t k = 0; k < p.options.size(); ++k) p.settings += (k ? " " : "") + p.options[k];
    if (!line.answers.empty()) {
        p.settings += p.settings.empty() ? "| " : " | ";
        for (std::size_t k = 0; k < line.answers.size(); ++k)
            p.settings += (k ? "; " : "") + line.answers[k];
    }

    p.inputs = run->files;
    if (options.originals && !run->building_file.empty()) p.inputs.push_back(run->building_file);
    for (const std::string& f : options.inputs) p.inputs.push_back(f);
    for (const std::string& f : settings.layout) p.inputs.push_back(f);
    if (!settings.palette.empty()) p.inputs.push_back(settings.palette);
    p.inputs.push_back("LESDIG.DEF");
    if ((kind == 'K' || kind == 'M') && !settings.background_data.empty())
        p.inputs.push_back(settings.background_data);
    if (std::string_view("FWGDKXC").find(letter) != std::string_view::npos)
        p.inputs.push_back(isolines ? "MURAL.ISO" : "MURAL.RAS");

    p.definition = "run=" + run->path + " picture=" + p.picture + " section=" + p.section +
                   " formats=" + p.formats + " options=";
    for (const std::string& o : p.options) p.definition += o + " ";
    p.definition += "answers=";
    for (const std::string& a : line.answers) p.definition += a + ";";
}

}  // namespace

Plan make_plan(const std::vector<ListLine>& lines, bool pdf, std::vector<ListError>& errors) {
    Plan plan;
    const SettingsFiles settings;
    std::map<std::string, const RunInfo*> probed;
    std::map<std::string, std::string> probe_errors;
    std::map<std::string, int> names;  // picture name -> its line
    bool asks_reported = false;

    for (const ListLine& line : lines) {
        // A faulty option leaves the line's sections to be checked all the same.
        Options options;
        read_options(line, options, errors);
        const char letter = line.picture[0];
        if (std::string_view("XYC").find(letter) != std::string_view::npos && !options.comparison) {
            errors.push_back({line.picture_at, "Bildart " + line.picture + " zeigt die Differenz zu einem zweiten Lauf: "
                                                                         "/v=datei.ERG angeben (Auswerteversion)"});
            continue;
        }

        const std::vector<std::string> paths = expand_runs(line.run);
        if (paths.empty()) {
            errors.push_back({line.run_at, "kein Lauf passt zu \"" + line.run + "\""});
            continue;
        }
        for (const std::string& path : paths) {
            auto known = probed.find(path);
            if (known == probed.end()) {
                std::string error;
                std::optional<RunInfo> run = probe_run(path, error);
                if (run) {
                    plan.runs.push_back(std::move(*run));
                    known = probed.emplace(path, &plan.runs.back()).first;
                } else {
                    probe_errors[path] = error;
                    known = probed.emplace(path, nullptr).first;
                }
            }
            const RunInfo* run = known->second;
            if (!run) {
                errors.push_back({line.run_at, probe_errors[path]});
                continue;
            }
            if (run->coefficients != (letter == 'K')) {
                errors.push_back({line.picture_at, run->coefficients
                                                       ? "Bildart " + line.picture + " aus Diffusionskoeffizienten " +
                                                             path + ": nur K oder KI"
                                                       : "Bildart K zeigt Diffusionskoeffizienten: den Lauf als .DIF "
                                                         "oder .DKM angeben, nicht " + path});
                continue;
            }
            for (const SectionItem& item : line.sections) {
                const int limit = item.kind == 'I' ? run->NX : item.kind == 'J' ? run->NY : run->NZ;
                const bool vertical = item.kind == 'I' || item.kind == 'J';
                if (vertical && (letter == 'S' || letter == 'D')) {
                    errors.push_back({item.at, std::string(letter == 'S' ? "Stromlinien" : "Divergenz") +
                                                   " nur in Horizontalschnitten (K, M), nicht " + item.kind +
                                                   std::to_string(item.from)});
                    continue;
                }
                const int from = item.every ? 1 : item.from, to = item.every ? limit : item.to;
                if (to > limit) {
                    errors.push_back({item.at, "Schnitt " + std::string(1, item.kind) + std::to_string(to) +
                                                   " liegt außerhalb des Gitters von " + path + " (" +
                                                   section_name(item.kind, 1, limit) + " bis " +
                                                   section_name(item.kind, limit, limit) + ")"});
                    continue;
                }
                for (int index = from; index <= to; ++index) {
                    Picture p;
                    p.line = line.number;
                    p.line_text = line.text;
                    p.run = run;
                    p.picture = line.picture;
                    p.kind_name = kind_name(line.picture);
                    p.section = section_name(item.kind, index, limit);
                    p.where = where(*run, letter, item.kind, index);
                    p.name = run->name + "_" + line.picture + "_" + p.section;
                    if (!line.name_suffix.empty()) p.name += "_" + line.name_suffix;
                    auto [other, fresh] = names.emplace(p.name, line.number);
                    if (!fresh) {
                        errors.push_back({item.at, "Bild " + p.name + " entsteht schon aus Zeile " +
                                                       std::to_string(other->second) +
                                                       "; eine Variante braucht einen Namenszusatz, z. B. @RU"});
                        continue;
                    }

                    fill_in_run(p, line, options, settings, item.kind, pdf);
                    plan.pictures.push_back(std::move(p));
                }
            }
        }
        if (settings.background_asks && !asks_reported) {
            asks_reported = true;
            errors.push_back({{}, "LESDIG.DEF fragt mit \"DI=?\" beim Zeichnen nach der Hintergrunddatei; für den "
                                  "Atlas ihren Namen eintragen"});
        }
    }
    for (std::size_t k = 0; k < plan.pictures.size(); ++k) plan.pictures[k].number = static_cast<int>(k) + 1;
    return plan;
}

}  // namespace atlas
