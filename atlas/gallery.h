// DIR/index.html: every picture of the list as a thumbnail that opens its
// SVG, grouped by run and picture kind, with its section and settings; failed
// pictures with their message. One self-contained file: its style and its
// few lines of script are inside it, the pictures beside it.
#pragma once

#include <string>

#include "atlas/plan.h"

namespace atlas {

struct PageCounts {
    int drawn = 0;     // up to date
    int outdated = 0;  // drawn, but line or inputs changed since
    int failed = 0;
    int missing = 0;   // not drawn yet (another part, or never started)
};

// Writes the page from the records in `dir`. A file index.html that the atlas
// did not write is left alone: false and the reason in `error`.
bool write_gallery(const Plan& plan, const std::string& dir, const std::string& list, PageCounts& counts,
                   std::string& error);

}  // namespace atlas
