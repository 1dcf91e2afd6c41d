// The runs that an atlas list names: the names a pattern stands for, and what
// the atlas must know of a run before any picture is drawn (its grid, for the
// sections; the files its pictures read, for redrawing).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace atlas {

struct RunInfo {
    std::string path;         // as mural gets it, relative to the list's folder
    std::string name;         // file-name part without extension; begins the picture names
    bool coefficients = false;  // a diffusion-coefficient file (".DIF", ".DKM")
    // How often mural asks whether to go on with an older format version (of
    // the result file, of the obstacle file): each gets a yes.
    int version_questions = 0;
    int NX = 0, NY = 0, NZ = 0;
    std::string title;
    std::vector<float> x_centres, y_centres, z_centres;  // m, 0-based
    std::vector<float> z_faces;  // m, 0-based: the floor of each level
    // The result file, the obstacle file, the coefficient file: read by every picture.
    std::vector<std::string> files;
    std::string building_file;  // the digitised buildings that "/o" draws; empty when none
};

// The names a run field stands for, relative to the working directory: a
// pattern ("runs/*.ERG") gives its matches in sorted order, a plain name
// itself. ".ERG" is added to a name or pattern whose file-name part has no
// extension.
bool is_pattern(const std::string& run);
std::vector<std::string> expand_runs(const std::string& run);

// Reads header, dimensions, grid and obstacles of the run, looked up as mural
// looks it up (a case-insensitive match when the exact name does not exist).
// Nothing and a message in `error` when the run cannot be drawn.
std::optional<RunInfo> probe_run(const std::string& path, std::string& error);

}  // namespace atlas
