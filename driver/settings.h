// The settings of a run, fixed by the start-up before the first picture.
#pragma once

#include <string>

namespace driver {

// The family switch: while it is set, "/$", "/v" and "/w" are recognised but
// have no effect, and a run draws one picture.
#ifndef MURAL_TRZ
#define MURAL_TRZ 1
#endif
inline constexpr bool TRZ = MURAL_TRZ != 0;

// The largest character height of the layout file (mm); more leaves no room for a picture.
inline constexpr float kMaxCharacterHeight = 50.0f;
// The width of a legend right of the plot (mm).
inline constexpr float kLegendWidth = 40.0f;

struct Settings {
    std::string FILE;          // result file
    std::string DIF_FILE;      // diffusion-coefficient file, when one was named
    int dif_code = 0;          // 1 ".DIF", 2 ".DKM", 0 none
    std::string PLT_FILE;      // plot file
    std::string PDF_FILE;      // plot layout parameter file
    std::string GR;            // pictures beside the plot file: "png", "pdf", "svg", comma-separated
    std::string PAL_FILE;      // palette file
    std::string BGN_FILE;      // background map definition
    std::string GEB_FILE;      // obstacle file named in the result header
    std::string MUL_FILE;      // file list of the superposition
    std::string MUL_OUTPUT;    // the file the superposition wrote, if any
    std::string VFILE;         // second result file of a comparison
    std::string MNAME;         // model family name
    std::string title;         // title of the run in UTF-8 (80 characters at most)
    bool DEBUG = false;        // "/de"
    bool DRAFT = false;        // "/dr"
    bool interactive = false;  // "/n"
    bool AXTXT = true;         // axes with labels; "/m" draws a scale bar instead
    bool BORG = false;         // "/o"
    bool NOBU = false;         // "/o0"
    bool LOGO = false;         // "/avo"
    bool fill = false;         // "/f"
    int fill_pen = 1;
    std::string LPOS = "ro ";  // "/l", 3 characters; the legend stands right of the plot
    bool window = false;       // "/x"
    bool window_typed = false;  // the window was typed at the prompt, not given with "/x:"
    double window_x_from = 0, window_x_to = 0, window_y_from = 0, window_y_to = 0;  // real coordinates (m)
    int ILB = 0, IRB = 0, JVB = 0, JHB = 0;  // window as cell indexes (1-based, inclusive)
    float XLEN = 180.0f, YLEN = 0.0f;   // plot width and height (mm)
    float XN = 20.0f, YN = 20.0f;       // plot origin on the page (mm)
    float ZH = 2.5f;                    // character height (mm)
    bool font = false;                  // texts in the sans style
    std::string PFORMAT;                // "DINA4Q" (landscape) or "DINA4H" (portrait)
    std::string description;            // short description, the title when none was given
    bool MULTI = false;        // "/$"
    bool COMP = false;         // "/v"
    bool WANDF = false;        // "/w"
    bool netcdf_coefficients = false;  // "/k": the diffusion coefficients of a NetCDF run
};

Settings& settings();
void reset_settings();

}  // namespace driver
