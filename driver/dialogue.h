// The dialogue of a run: obstacle representation, kind of picture and
// section; the section's set-up; and the drawing of the picture. What the
// dialogue chose for one picture lives in a Picture record that the drawing
// routines are handed; the run's settings stay as the start-up fixed them.
#pragma once

#include <cstdint>
#include <string>

#include "platform/field.h"
#include "resultfile/model.h"

namespace driver {

struct Settings;

// The obstacle representation of the run's pictures: the "/o" and "/o0"
// options, or the letters of the obstacle answer.
struct ObstacleChoice {
    bool BORG = false;  // the outlines of the building file ("O")
    bool NOBU = false;  // no obstacles ("K")
    bool LAND = false;  // land use: the background map ("B", when a background file is named)
};

// The part of the model that a picture shows.
struct Section {
    int IS = 0;                          // kind: 1 column I, 2 row J, 3 level K
    int LCUT = 0;                        // index
    bool terrain = false;                // terrain-following: LCUT layers above the ground
    platform::Field2D<int> KGEL;         // ground level of each column (terrain-following)
    int ILB = 1, IRB = 1, JVB = 1, JHB = 1;  // the window: cell indexes, 1-based, inclusive
    int layers = 0;                      // vertical sections: the layers shown (section_layers)
    float PZMAX = 0.0f;                  // largest height shown in a vertical section (m)
    float exaggeration = 1.0f;           // vertical exaggeration of a vertical section
    // Axis ranges of the graph (m, from the grid's corner): from, step, to.
    float XA = 0, XS = 0, XE = 0, YA = 0, YS = 0, YE = 0;

    bool level() const { return IS == 3; }
    bool vertical() const { return IS == 1 || IS == 2; }
    // The cells of a level section along x and y, of a vertical section along it.
    int cells_x() const { return IRB - ILB + 1; }
    int cells_y() const { return JHB - JVB + 1; }
    int cells_along() const { return IS == 1 ? cells_y() : cells_x(); }
    // The layer of column (i, j) of a level section: LCUT, or LCUT layers above its ground.
    int layer_at(int i, int j, int NZ) const;
};

// One picture: its kind, obstacles, section and place on the page.
struct Picture {
    char letter = ' ';                   // picture letter, upper case
    bool ISOL = false;                   // isolines instead of a colour raster
    bool STRM = false, TRAJ = false, VEKT = false;
    bool DIVI = false, COMP = false;
    ObstacleChoice obstacles;
    Section section;
    platform::Field2D<std::int16_t> LGB; // obstacle cells of the section (flow pictures)
    float GX = 0, GY = 0;                // plot width and height (mm)
    float YN = 0;                        // vertical origin of the graph on the page (mm)
    std::string section_text;            // the section, as the title describes it
    std::string plot_title;

    bool flow() const { return VEKT || STRM || TRAJ; }
    // The background map lies under level sections that show obstacles.
    bool map() const { return obstacles.LAND && section.level() && !obstacles.NOBU; }
};

// The layers of a vertical section that shows the heights up to `height`
// (m): those whose centre, where their values stand, lies at or below it;
// at least the first. Every picture of a vertical section shows these.
int section_layers(const resultfile::Grid& g, float height);

// The steps of the dialogue. The choosers return false when the user ends
// the run there.
ObstacleChoice choose_obstacles(const Settings& s);
bool choose_picture(Picture& p);
bool choose_section(Section& sec);
void build_terrain_levels(Section& sec);
// Returns false when a further picture no longer fits on the page.
bool set_up_section(Picture& p, bool later = false);

// The quantity a scalar picture shows, with its unit; empty for the flow pictures.
std::string scalar_quantity(char letter, int IS);
// The section index of the obstacles drawn with the picture.
int obstacle_index(const Picture& p);
// The field of the scalar picture on the section, drawn as isolines or raster.
void draw_scalar_picture(const Picture& p);

// The wind of a vertical section on its cell faces, over its layers: the
// component along it (n1 + 1 x n2) and the vertical wind (n1 x n2 + 1).
struct SectionWind {
    int n1 = 0, n2 = 0;
    platform::Field2D<float> along, up;
};
SectionWind vertical_section_wind(const Section& sec, const resultfile::ModelFields& m);

// Streamlines (level sections only) and trajectories of the section.
void draw_streamlines(const Picture& p);
void draw_trajectories(const Picture& p);

// The picture on the plot: the first one opens the plot, later ones (the
// evaluation build) continue on it at the next position.
void draw_picture(Picture& p, bool first = true);

// The dialogue and the picture, after the start-up; returns the exit status.
int run_dialogue();

}  // namespace driver
