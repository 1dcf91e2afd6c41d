// mural-atlas LIST [-o DIR] [-j N] [--all] [--pdf] [--part I/N] [--index-only]
//
// Reads the list, expands and checks it against the runs (nothing is drawn
// while any line is faulty), draws the pictures that are not up to date with
// mural, and writes DIR/index.html. Exit status 0 when every picture is
// there, 1 when any failed or the list or command line is faulty, 128 + the
// signal when stopped.
#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "atlas/drawing.h"
#include "atlas/gallery.h"
#include "atlas/listfile.h"
#include "atlas/plan.h"
#include "atlas/records.h"
#include "platform/files.h"

namespace fs = std::filesystem;

namespace {

int cores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
    return static_cast<int>(std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN)));
}

void usage(std::ostream& out) {
    out << "Aufruf:  mural-atlas LISTE [-o ORDNER] [-j N] [--all] [--pdf] [--part I/N] [--index-only]\n"
           "Zeichnet jedes Bild, das LISTE nennt, mit mural in ORDNER und schreibt ORDNER/index.html.\n"
           "  -o ORDNER          Ordner der Bilder (Vorgabe: neben der Liste, ihr Name ohne Endung)\n"
           "  -j N               N Bilder gleichzeitig (Vorgabe: die Zahl der Prozessorkerne, hier "
        << cores()
        << ")\n"
           "  --all              auch Bilder zeichnen, deren Eingaben sich nicht geändert haben\n"
           "  --pdf              zu PNG und SVG auch PDF schreiben\n"
           "  --part I/N         nur jedes N-te Bild ab dem I-ten (Teil I von N, für mehrere Rechner)\n"
           "  --index-only       nichts zeichnen, nur ORDNER/index.html aus dem Stand im Ordner schreiben\n"
           "  --mural PROGRAMM   dieses mural verwenden (Vorgabe: neben mural-atlas, sonst aus PATH)\n"
           "Die Liste: eine Zeile je Lauf, Bildart und Schnitte, z. B.\n"
           "  run1  V  K03,K08  /l:RO  | 1.5   # Pfeile in zwei Ebenen, Pfeilmaßstab 1.5\n";
}

struct Arguments {
    std::string list;
    std::string dir;
    int jobs = 0;
    bool all = false, pdf = false, index_only = false;
    int part = 1, parts = 1;
    std::string mural;
    std::optional<int> finished;  // the status of a run that ends with the command line (--help, --version)
};

bool whole(const std::string& text, int& value) {
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::atoi(text.c_str());
    return true;
}

// Nothing when the command line is faulty (the message is written).
std::optional<Arguments> read_arguments(int argc, char** argv) {
    Arguments a;
    std::vector<std::string> args(argv + 1, argv + argc);
    auto bad = [](const std::string& text) -> std::optional<Arguments> {
        std::cerr << "mural-atlas: " << text << "\n";
        usage(std::cerr);
        return std::nullopt;
    };
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string& arg = args[k];
        // "-o DIR", "-oDIR", "--output DIR", "--output=DIR", likewise for the others.
        auto value = [&](const std::string& shortname, const std::string& longname, std::string& out) {
            for (const std::string& name : {shortname, longname}) {
                if (name.empty()) continue;
                if (arg == name) {
                    if (k + 1 >= args.size()) return -1;
                    out = args[++k];
                    return 1;
                }
                if (name.size() == 2 && arg.starts_with(name) && arg.size() > 2) return out = arg.substr(2), 1;
                if (name.size() > 2 && arg.starts_with(name + "=")) return out = arg.substr(name.size() + 1), 1;
            }
            return 0;
        };
        std::string v;
        int got = 0;
        if ((got = value("-o", "--output", v)) != 0) {
            if (got < 0 || v.empty()) return bad("-o braucht einen Ordner");
            a.dir = v;
        } else if ((got = value("-j", "--jobs", v)) != 0) {
            if (got < 0 || !whole(v, a.jobs) || a.jobs < 1) return bad("-j braucht eine Zahl ab 1");
        } else if ((got = value("", "--part", v)) != 0) {
            const std::size_t slash = v.find('/');
            if (got < 0 || slash == std::string::npos || !whole(v.substr(0, slash), a.part) ||
                !whole(v.substr(slash + 1), a.parts) || a.parts < 1 || a.part < 1 || a.part > a.parts)
                return bad("--part braucht I/N mit 1 <= I <= N, z. B. --part 2/4");
        } else if ((got = value("", "--mural", v)) != 0) {
            if (got < 0 || v.empty()) return bad("--mural braucht ein Programm");
            a.mural = v;
        } else if (arg == "--all") {
            a.all = true;
        } else if (arg == "--pdf") {
            a.pdf = true;
        } else if (arg == "--index-only") {
            a.index_only = true;
        } else if (arg == "--help" || arg == "-h") {
            usage(std::cout);
            a.finished = 0;
            return a;
        } else if (arg == "--version") {
            std::cout << "mural-atlas (MURAL V" << MURAL_VERSION << ")\n";
            a.finished = 0;
            return a;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return bad("unbekannte Option " + arg);
        } else if (a.list.empty()) {
            a.list = arg;
        } else {
            return bad("nur eine Liste: " + arg);
        }
    }
    if (a.list.empty()) return bad("keine Liste angegeben");
    if (a.jobs == 0) a.jobs = cores();
    // The pictures belong to the study: beside the list, named after it.
    if (a.dir.empty()) a.dir = (fs::path(a.list).parent_path() / fs::path(a.list).stem()).string();
    return a;
}

bool executable(const std::string& path) {
    return !path.empty() && atlas::regular_file(path) && ::access(path.c_str(), X_OK) == 0;
}

// mural: as named, else beside mural-atlas, else (run from the build tree)
// the one built with it, else the first on PATH.
std::string find_mural(const std::string& named) {
    if (!named.empty()) {
        if (named.find('/') != std::string::npos) return executable(named) ? fs::absolute(named).string() : std::string();
    }
    const std::string program = named.empty() ? "mural" : named;
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (named.empty() && !ec) {
        if (executable((self.parent_path() / program).string())) return (self.parent_path() / program).string();
        if (self.parent_path() == fs::path(MURAL_ATLAS_BUILD_DIR) && executable(MURAL_BUILD_PROGRAM))
            return MURAL_BUILD_PROGRAM;
    }
    if (const char* path = std::getenv("PATH")) {
        std::string dirs = path;
        for (std::size_t start = 0; start <= dirs.size();) {
            std::size_t end = dirs.find(':', start);
            if (end == std::string::npos) end = dirs.size();
            const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
            if (executable(dir + "/" + program)) return fs::absolute(dir + "/" + program).string();
            start = end + 1;
        }
    }
    return {};
}

void print_errors(std::vector<atlas::ListError> errors, const std::string& list) {
    std::stable_sort(errors.begin(), errors.end(), [](const auto& a, const auto& b) {
        return a.at.line != b.at.line ? a.at.line < b.at.line : a.at.column < b.at.column;
    });
    for (const atlas::ListError& e : errors) {
        std::cerr << "mural-atlas: ";
        if (e.at.line > 0) std::cerr << list << ":" << e.at.line << ":" << e.at.column << ": ";
        std::cerr << e.text << "\n";
    }
    std::cerr << "mural-atlas: " << errors.size() << " Fehler in " << list << "; nichts gezeichnet\n";
}

std::string per_second(int pictures, double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", seconds > 0 ? pictures / seconds : 0.0);
    return text;
}

// The text of the list; nothing (the message written) when it cannot be read.
std::optional<std::string> read_list(const std::string& list, const fs::path& list_path) {
    std::uint64_t size = 0;
    const int fd = platform::open_regular_file(list_path.string(), size);
    if (fd < 0) {
        std::cerr << "mural-atlas: Liste " << list << " nicht gefunden\n";
        return std::nullopt;
    }
    ::close(fd);
    try {
        std::optional<std::string> text = platform::read_text_file(list_path.string(), "ATLAS");
        if (!text) std::cerr << "mural-atlas: Liste " << list << " nicht gefunden\n";
        return text;
    } catch (const std::exception& e) {
        std::cerr << "mural-atlas: Liste " << list << ": " << e.what() << "\n";
        return std::nullopt;
    }
}

int draw_and_report(const Arguments& a, const atlas::Plan& plan, const std::vector<const atlas::Picture*>& mine,
                    const std::string& dir, const std::string& mural);

int run_atlas(int argc, char** argv) {
    std::optional<Arguments> parsed = read_arguments(argc, argv);
    if (!parsed) return 1;
    Arguments& a = *parsed;
    if (a.finished) return *a.finished;

    std::error_code ec;
    const fs::path list_path = fs::absolute(a.list, ec);
    const std::optional<std::string> text = read_list(a.list, list_path);
    if (!text) return 1;
    const std::string dir = fs::absolute(a.dir).lexically_normal().string();
    if (fs::exists(dir, ec) && !fs::is_directory(dir, ec)) {
        std::cerr << "mural-atlas: " << a.dir << " ist kein Ordner; mit -o einen Ordner für die Bilder angeben\n";
        return 1;
    }
    std::string mural;
    if (!a.index_only) {
        mural = find_mural(a.mural);
        if (mural.empty()) {
            std::cerr << "mural-atlas: mural " << (a.mural.empty() ? "weder neben mural-atlas noch in PATH" : a.mural)
                      << " gefunden; mit --mural angeben\n";
            return 1;
        }
    }

    // Runs, settings files and the paths in the list are those of the list's
    // folder, as for mural run there by hand.
    if (::chdir(list_path.parent_path().c_str()) != 0) {
        std::cerr << "mural-atlas: Ordner der Liste " << list_path.parent_path() << " nicht erreichbar\n";
        return 1;
    }
    std::vector<atlas::ListError> errors;
    const std::vector<atlas::ListLine> lines = atlas::parse_list(*text, errors);
    atlas::Plan plan = atlas::make_plan(lines, a.pdf, errors);
    if (errors.empty() && plan.pictures.empty()) errors.push_back({{}, "die Liste " + a.list + " nennt kein Bild"});
    if (!errors.empty()) {
        print_errors(errors, a.list);
        return 1;
    }

    std::vector<const atlas::Picture*> mine;
    for (const atlas::Picture& p : plan.pictures)
        if ((p.number - 1) % a.parts == a.part - 1) mine.push_back(&p);

    atlas::PageCounts counts;
    std::string page_error;
    if (a.index_only) {
        if (!fs::is_directory(dir)) {
            std::cerr << "mural-atlas: Ordner " << a.dir << " gibt es nicht; es ist nichts gezeichnet\n";
            return 1;
        }
        if (!atlas::write_gallery(plan, dir, a.list, counts, page_error)) {
            std::cerr << "mural-atlas: " << page_error << "\n";
            return 1;
        }
        std::cout << "mural-atlas: " << plan.pictures.size() << " Bilder: " << counts.drawn << " gezeichnet, "
                  << counts.outdated << " nicht aktuell, " << counts.failed << " fehlgeschlagen, " << counts.missing
                  << " nicht gezeichnet\nÜbersicht: " << dir << "/index.html\n";
        return counts.failed || counts.missing ? 1 : 0;
    }
    return draw_and_report(a, plan, mine, dir, mural);
}

// The pictures of this part drawn, what became of them told, and the overview written.
int draw_and_report(const Arguments& a, const atlas::Plan& plan, const std::vector<const atlas::Picture*>& mine,
                    const std::string& dir, const std::string& mural) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
        std::cerr << "mural-atlas: Ordner " << a.dir << " nicht anlegbar: " << ec.message() << "\n";
        return 1;
    }
    atlas::DrawSettings settings;
    settings.mural = mural;
    settings.dir = dir;
    settings.list = a.list;
    settings.jobs = a.jobs;
    settings.all = a.all;
    if (a.parts > 1)
        std::cout << "mural-atlas: Teil " << a.part << " von " << a.parts << ": " << mine.size() << " der "
                  << plan.pictures.size() << " Bilder\n";
    const atlas::DrawOutcome outcome = atlas::draw_pictures(mine, settings);

    const int failed = static_cast<int>(outcome.failures.size());
    if (outcome.signal) {
        const char* by = outcome.signal == SIGINT ? "Strg-C" : outcome.signal == SIGTERM ? "SIGTERM" : "SIGHUP";
        std::cout << "mural-atlas: abgebrochen (" << by << "): " << outcome.drawn
                  << " gezeichnet, " << outcome.stopped << " angehalten, " << outcome.not_started
                  << " nicht begonnen; die gezeichneten Bilder bleiben\n";
    } else {
        std::cout << "mural-atlas: " << outcome.drawn << " gezeichnet, " << outcome.unchanged << " unverändert, "
                  << failed << " fehlgeschlagen in " << static_cast<int>(outcome.seconds + 0.5) << " s ("
                  << per_second(outcome.drawn, outcome.seconds) << " Bilder/s)\n";
    }
    std::string page_error;
    if (failed) {
        std::cout << "Fehlgeschlagen:\n";
        for (const atlas::Failure& f : outcome.failures)
            std::cout << "  " << f.picture->name << " (" << a.list << ", Zeile " << f.picture->line
                      << "): " << f.message << "\n    Protokoll: " << dir << "/" << f.picture->name << ".log\n";
    }
    if (a.parts > 1) {
        std::cout << "Die Übersicht schreibt, wenn alle Teile fertig sind: mural-atlas " << a.list << " -o " << a.dir
                  << " --index-only\n";
    } else if (atlas::PageCounts counts; !atlas::write_gallery(plan, dir, a.list, counts, page_error)) {
        std::cerr << "mural-atlas: " << page_error << "\n";
        return 1;
    } else {
        std::cout << "Übersicht: " << dir << "/index.html\n";
    }
    if (outcome.signal) return 128 + outcome.signal;
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Output to a pipe that closes early (| head) must not end the atlas
    // while its pictures are being drawn.
    ::signal(SIGPIPE, SIG_IGN);
    try {
        return run_atlas(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "mural-atlas: unerwarteter Fehler: " << e.what() << "\n";
    }
    return 1;
}
