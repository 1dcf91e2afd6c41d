// Scalar fields of a section as isolines or as a colour raster: the isoline
// value file, the raster definition file, the resampling of a non-equidistant
// vertical grid and the vertical exaggeration.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "platform/field.h"

namespace contour {

constexpr int kMaxFileValues = 40;   // isoline values of one key in the value file
constexpr int kMaxRasterClasses = 16;
constexpr int kMaxRasterTitles = 5;
constexpr std::size_t kRasterTextLength = 32;  // characters of a title or class text

// The value lists of the isoline value file (or of the values asked for);
// index 0 holds entry 1.
struct IsolineValues {
    std::array<float, kMaxFileValues> WISO{};  // isoline values
    std::array<int, kMaxFileValues> LABEL{};   // labels per line, 0 none
    std::array<int, kMaxFileValues> MODE{};    // 0 coded, 1 solid, 2 dashed, 3 dotted
    std::array<int, kMaxFileValues> ITHIK{};   // thickness
    std::array<int, kMaxFileValues> ICOL{};    // pen
    std::array<int, kMaxFileValues> IPAT{};    // pattern
    int NWISO = -1;                            // entries read; -1 while no file has been read
    bool file_read = false;                    // the value file is read once per key of a run
    std::string key;                           // the key it was read for
};

IsolineValues& isoline_values();
void reset_isoline_values();

// The colour classes of the raster definition file, kept between plots.
// Index 0 holds entry 1.
struct RasterClasses {
    std::array<float, kMaxRasterClasses> CLASS{};      // upper class limits, ascending
    std::array<int, kMaxRasterClasses> IPEN{};         // pen of each class
    std::array<std::string, kMaxRasterClasses> LBEZ;   // class texts
    int NISO = 0;                                      // classes; 0 until the file was read
    std::array<std::string, kMaxRasterTitles> LTIT;    // legend title lines
    int NTIT = 0;
    std::string key;                                   // the key whose section was read
};

RasterClasses& raster_classes();
void reset_raster_classes();

// The key of a quantity's section in the definition files: its letter, or
// for a vertical section (IS 1 or 2) the letter with ":V" ("G:V"), which
// falls back to the letter's own section when the file has none.
//
// A section starts at the line whose first word is the key: "G" or "G:V"
// stand alone, so a column heading such as "Grenze" never starts one.
std::string section_key(char letter, int IS);

// Fills the value lists with the section of key WAS of the isoline value file
// (first call of a run for that key only). A missing file leaves NWISO at -1.
void GETIVAL(std::string_view FILE, std::string_view WAS);

// Reads the section of key WAS of the raster definition file: title lines
// into LTIT (NTIT of them), class limits into WISO, pens into IPEN and class
// texts into LBEZ (NISO classes). Does nothing while NISO is positive.
// Class limits that do not ascend are refused.
void GERADA(std::string_view RAS_FILE, std::string_view WAS, std::span<int> IPEN, std::span<float> WISO,
            std::span<std::string> LBEZ, int& NISO, std::span<std::string> LTIT, int& NTIT);

// The classes of key WAS into the run's raster classes, read again when the
// classes kept are those of another key.
void load_raster_classes(std::string_view RAS_FILE, std::string_view WAS);

// The lines the colour raster of key WAS will add to the legend: the title
// lines and the classes whose text does not start with "!". Reads the raster
// file as the raster will.
void raster_legend_lines(std::string_view RAS_FILE, std::string_view WAS, int& headings, int& entries);

// Resamples CIN (NA x MZ, layers of thickness DZ(1..MZ), 0-based storage)
// onto COUT (at least NA x NZI) with equidistant layers of thickness DZI;
// MNZ gets the number of layers produced.
void MAKDZC(const platform::Field2D<float>& CIN, int NA, int MZ, std::span<const float> DZ,
            platform::Field2D<float>& COUT, int NZI, float DZI, int& MNZ);

// The decimals the labels of these isoline values need: none when every
// value is whole, else as many as the value with most decimals has, at most 3.
int label_decimals(std::span<const float> values);

// Asks for the vertical exaggeration of a vertical section (default 2).
float UEBERH();

// ---- the plot driver of a scalar field section ---------------------------------
// Draws the section A (NNX x NNY values at the cells, first index along the
// section's horizontal axis) into the current graph: isolines (ISOL) or a
// colour raster of the quantity with key WAS. XR, YR: cell boundaries
// (NNX+1, NNY+1 values); DDX, DDY: grid steps; DZ: layer thicknesses of a
// vertical section (IS 1 or 2; 3 is a level section).
void PLISPA(const platform::Field2D<float>& A, int NNX, int NNY, std::span<const float> XR, std::span<const float> YR,
            float DDX, float DDY, std::span<const float> DZ, bool ISOL, char WAS, int IS);

}  // namespace contour
