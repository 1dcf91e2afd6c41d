// The pictures of an atlas list: every line expanded over its runs and
// sections, checked against the runs' grids, with the name, the command line
// and the answers of each picture and the files whose change redraws it.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "atlas/listfile.h"
#include "atlas/runs.h"

namespace atlas {

struct Picture {
    int number = 0;  // from 1, in the order of the list (the order --part counts in)
    int line = 0;
    std::string line_text;
    const RunInfo* run = nullptr;
    std::string picture;  // "V", "FI"
    std::string kind_name;  // "Vektorpfeile", "Horizontalwind, Isolinien"
    std::string section;  // "K03"
    std::string where;    // "z=5.9 m"
    std::string name;     // "run1_V_K03", with the suffix of "@NAME"
    std::vector<std::string> options;  // mural's options, without /p and /g
    std::string formats;  // for /g: "png,svg" and perhaps "pdf"
    std::string answers;  // mural's standard input
    std::string settings;  // options and answers as the page shows them
    // Names (relative to the list's folder, looked up as mural looks them up)
    // whose content the picture depends on; a name that does not exist counts.
    std::vector<std::string> inputs;
    // What of the list concerns the picture: a change of it redraws the picture.
    std::string definition;
};

struct Plan {
    std::deque<RunInfo> runs;  // the pictures point into it
    std::vector<Picture> pictures;
};

// The empty answers after the given ones: enough for every further question
// of every picture kind, each of which an empty line answers with its default.
inline constexpr int kDefaultAnswers = 40;

// Expands and checks the list; faults go to `errors`. Run in the list's folder.
Plan make_plan(const std::vector<ListLine>& lines, bool pdf, std::vector<ListError>& errors);

}  // namespace atlas
