// The legend: a box on the page laid out line by line from its top, shared by
// every routine that adds a line to it. All lengths in millimetres.
#pragma once

#include <string>
#include <string_view>

namespace mapelements {

struct LegendState {
    float XLEG = 0, YLEG = 0;    // lower left corner of the box
    float WLEG = 0, HLEG = 0;    // width and height of the box
    float XLEGP = 0;             // left edge of the current column
    float YLEGP = 0;             // y of the current line, moving down
    float XLSEP = 0;             // indent of the sample from the column edge
    float YLSEP = 0;             // line spacing
    float XLLEN = 0, YLLEN = 0;  // width and height of an entry's sample
    float XTSEP = 0;             // gap between sample and text
    float HEILEG = 0;            // character height of the legend
    int ILBLNK = 0;              // key of the legend's blanking rectangle, 0 none
    int LEVEL = 0;               // 0 no legend; 1 after LEGDEF, +1 per heading or entry
    float XBORD = 0;             // largest x reached by legend contents
    int LENTRY = 0;              // entries per column, 0 one column
    int IENTRY = 0;              // entries in the current column
    float column_top = 0;        // YLEGP of the first entry of the current column
    float YLOW = 0;              // lowest y reached by what the legend shows so far
    int cut = 0;                 // lines left out below the bottom of the box since LEGDEF
    // Widths of the two parts of a text split by "&", fixed by the first such entry.
    float xf1 = -1.0f, xf2 = -1.0f;
};

// Legend, scale bar, wind rose and north arrow are page furniture outside the
// plot area: while an object of this class lives, lines are clipped to the
// page instead of the plot area, and no point is reported as outside.
class PageClipping {
public:
    PageClipping();
    ~PageClipping();
    PageClipping(const PageClipping&) = delete;
    PageClipping& operator=(const PageClipping&) = delete;

private:
    float cx_, cy_, hx_, hy_;
    bool checking_, active_;
};

// The legend state of the run.
LegendState& RRLEGP();
void reset_legend();

// GX, GY: width and height of the plot area (mm), which the positions refer to.
void ELEPOS(std::string_view LPOS, float& XLG, float& YLG, float& WLG, float& HLG, float& GLFRM, float GX, float GY);
void LEGDEF(float XL, float YL, float WL, float HL, float FRM);
void LEGSEP(float XSEP, float YSEP, float TSEP);
void LEGSYM(float XLEN, float YLEN);
void LEGHEI(float HEI);
void LEGHEAD(std::string_view TEXT, int LTXT, char CPOS);
void LEGENT(std::string_view PATLIN, int ICOL, int ISHD, float FRTH, std::string_view TEXT1, std::string_view TEXT2);
void LEGCOL(int NENTRY);
void LEGBORD(float& XPOS, float& YPOS);
// True after ELEPOS with the code "no": no legend is drawn.
bool legend_switched_off();

}  // namespace mapelements
