// The atlas list: one line per set of pictures.
//
//   RUN  PICTURE  SECTIONS  [OPTIONS] [@NAME] [| ANSWER; ANSWER; ...]   # comment
//
// RUN is a result file (".ERG" added when the name has no extension) or a
// pattern of several ("runs/*.ERG"); PICTURE a letter of mural's picture menu,
// with "I" for isolines ("FI"); SECTIONS one or more items "K03", ranges
// "K01-K05" and "K*" (every level), separated by commas or blanks; OPTIONS as
// on mural's command line; @NAME a suffix of the picture names for variants of
// the same section; after "|" the answers to mural's further questions.
// This file reads the text only; what the names mean is checked against the
// runs by the plan.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace atlas {

// A place in the list: line and column, both from 1 (columns in characters).
struct Place {
    int line = 0;
    int column = 0;
};

struct ListError {
    Place at;
    std::string text;
};

struct SectionItem {
    char kind = 'K';  // I, J, K or M
    int from = 0;     // a single section has from == to
    int to = 0;
    bool every = false;  // "K*"
    Place at;
};

struct OptionItem {
    std::string text;
    Place at;
};

struct ListLine {
    int number = 0;
    std::string text;  // the line without its comment, blanks at the end removed
    std::string run;
    Place run_at;
    std::string picture;  // upper case: "V", "FI"
    Place picture_at;
    std::vector<SectionItem> sections;
    std::vector<OptionItem> options;
    std::string name_suffix;  // from "@NAME", empty when none
    Place name_suffix_at;
    std::vector<std::string> answers;
    Place answers_at;
};

// The lines that name pictures; every fault of the text is added to `errors`
// (lines with faults are left out).
std::vector<ListLine> parse_list(std::string_view text, std::vector<ListError>& errors);

// The number of characters of a UTF-8 text up to `bytes` bytes: the column of
// the byte after them, less one.
int characters(std::string_view text, std::size_t bytes);

}  // namespace atlas
