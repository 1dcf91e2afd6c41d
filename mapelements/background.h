// A digitised background map under the picture: a definition file
// ("LESDIG.DEF") names the data file and says, per feature class (a
// one-character identifier), how its features are drawn and what the legend
// says; the data file holds the features as fixed-column records. DEFDIG
// reads the definition at start-up; BACKG opens the data file at the end of
// a level picture and has LESDIG draw it, cut to the plot window.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mapelements {

constexpr int kBackgroundClasses = 22;   // feature classes of a definition
constexpr int kBackgroundHeadings = 5;   // legend heading lines

// One feature class.
struct BackgroundClass {
    char id = ' ';      // identifier in column 1 of the data records
    char form = 'P';    // P polygon, R rectangle, K circle, S symbol, T text
    int IPEN = 1;       // pen; 0 = not drawn
    float DICK = 0.0f;  // line width, mm (0: the pen's own)
    int MODE = 0;       // line type 0 solid, 1 dashed, 2 dotted, 3 chain-dashed; symbols: the symbol number
    int IPAT = 0;       // pattern: 0 none, > 0 a hatching code (SHDPAT), < 0 solid fill
    std::string LDSC;   // legend text; blank or "!..." gives no legend entry
};

// The background definition, kept for the run.
struct BackgroundDefinition {
    bool read = false;              // a definition file was read
    std::string file;               // its name
    std::string title;              // "TI"
    std::string DIGDAT;             // "DI": the data file
    float WNORD = 0.0f;             // "WN": north against the x axis (degrees)
    bool wnord_given = false;
    float ZHLEG = 2.0f;             // "ZH": character height of texts (mm)
    bool info = false;              // "IN"
    std::vector<std::string> headings;  // "LE"
    int arrangement = 1;            // "LA": texts 1 start at, 2 are centred on, 0 end at their point
    bool absolute = false;          // "LI": recorded and reported only (with "IN")
    double RW = 0.0, HW = 0.0;      // "RW", "HW": added to every x and y read (m)
    std::vector<BackgroundClass> classes;
    // The plot window, copied from the picture by BACKG.
    float xmin = 0.0f, xmax = 0.0f, ymin = 0.0f, ymax = 0.0f;
    // The data file's lines, read by BACKG for LESDIG.
    std::string data_name;
    std::vector<std::string> data;
    // LESDIG left the legend to background_legend.
    bool legend_due = false;
};

BackgroundDefinition& background();
void reset_background();

// Reads the definition file FILE (falling back to "LESDIG.DEF"); WNORD gets
// the definition's north angle when it gives one. ISTAT is 0 when a
// definition was read, else 1.
void DEFDIG(std::string_view FILE, float& WNORD, int& ISTAT);

// Opens the data file FILE and draws it into the current graph over the
// plot window (xmin, xmax, ymin, ymax in user units). Without with_legend
// the legend lines wait for background_legend.
void BACKG(std::string_view FILE, bool DRAFT, int PEN, float xmin, float xmax, float ymin, float ymax,
           bool with_legend = true);

// Draws the records of the data file read by BACKG, and the legend (or
// leaves it to background_legend).
void LESDIG(bool DRAFT, int PEN, bool with_legend = true);

// The legend lines of the map that LESDIG left: drawn after the picture's
// own legend lines (its reference arrow), so the map can lie under the
// picture while its legend follows the picture's.
void background_legend(bool DRAFT, int PEN);

// The lines LESDIG will add to the legend with the pen PEN: its headings and
// its entries (a blank heading still takes its line).
void background_legend_lines(int PEN, int& headings, int& entries);

// The text of a text record of the data file whose numbers are w (7 or 8)
// characters wide: what follows the y field (from column 28 or 30), without
// leading and trailing blanks.
std::string LDNAME(std::string_view line, std::size_t w);

}  // namespace mapelements
