// The obstacles of the model in a section: rectangles of the obstacle list
// (hatched or filled, circles for trees), outlines from a digitised building
// file, and the cell mask of the obstacles for the flow plots.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/field.h"

namespace mapelements {

// The window of the picture as the obstacle drawing sees it, set by the
// driver when the section is set up.
struct ObstacleWindow {
    float XMIN = 0.0f, XMAX = 0.0f;  // horizontal axis of the graph (m)
    float YMIN = 0.0f, YMAX = 0.0f;  // vertical axis of the graph (m)
    int ILB = 1, IRB = 1;            // cells in x (1-based, inclusive)
    int JVB = 1, JHB = 1;            // cells in y
};

// An obstacle as drawn in the current picture, in page millimetres from the
// graph's origin: an area (an obstacle the section cuts, a building) or an
// outline (an obstacle above or beside the section, a polyline).
struct DrawnObstacle {
    std::vector<float> x, y;
    bool area = false;
};

// What the obstacle drawing keeps within one picture: the answers to its
// pen and distance questions, asked once per picture, and what it drew.
struct ObstacleState {
    ObstacleWindow window;
    bool pens_asked = false;
    int IPEN_ORO = 0;      // pen of the orography; below 1: not drawn
    int IPEN_POR = 0;      // pen of the porous obstacles; below 1: not drawn
    bool distance_asked = false;
    int MINAB = 0;         // obstacles this many cells beside a vertical section are shown
    int column_width = 0;  // coordinate field width of the building file (7 or 8; 0: not yet known)
    // Over a colour raster obstacles stand on white: areas on a white ground,
    // outlines on a white casing, so that no class colour hides them.
    bool white_ground = false;
    std::vector<DrawnObstacle> drawn;  // the obstacles of the picture so far
};

ObstacleState& obstacle_state();
void reset_obstacle_state();
void set_obstacle_window(const ObstacleWindow& window);
// A new picture asks the pen and distance questions again and forgets the
// obstacles drawn and the white ground.
void new_obstacle_picture();
// The obstacles of the picture stand on white (a colour raster lies under them).
void obstacles_on_white(bool on);

// The obstacle mask of section (IS, LCUT): 0 free; in vertical sections 1 for
// an obstacle cell; in horizontal sections the obstacle's top level. In
// horizontal sections cell (ILB, JVB) of the window is LGB(1, 1). With KGEL
// the horizontal section follows the terrain: level KGEL(i, j) + LCUT.
void IMHAUS(int LCUT, int IS, platform::Field2D<std::int16_t>& LGB, int N1, int N2, int NGB, int ILB, int IRB,
            int JVB, int JHB, const platform::Field2D<int>* KGEL = nullptr);

// The obstacle list in section (IS, LCUT): IBFILL the pen of the massive
// obstacles; BLACK fills solid instead of hatching; BLANK makes the cut
// obstacles blanking areas. KGEL as with IMHAUS.
void PLBDIG(int IS, int LCUT, bool DRAFT, bool BLACK, bool BLANK, int IBFILL,
            const platform::Field2D<int>* KGEL = nullptr);

// One obstacle rectangle in user coordinates; ISHD 0 solid, else the hatch
// pattern; BLANK (or a negative ISHD) registers it as a switched-off blanking area.
void BLOCK(float XGA, float XGE, float YGA, float YGE, bool DRAFT, int ISHD, bool BLANK = false);

// A tree: a 13-point circle of radius R around (XM, YM), user coordinates.
void TREE(float XM, float YM, float R, float SHDFAC);

// The buildings of a digitised building file, cut at height zcut (m).
void PLBORG(std::string_view GEB_FILE, int ipen, bool lfill, float zcut);

}  // namespace mapelements
