// The dialogue of a run: obstacle representation, kind of picture and
// section; the section's set-up; and the drawing of the picture.
#pragma once

#include <cstdint>
#include <string>

#include "platform/field.h"

namespace driver {

struct Dialogue {
    std::string obstacle_answer = "DB";  // letters O, D, B, K
    bool LAND = false;                   // land use (background map) drawn
    char letter = ' ';                   // picture letter, upper case
    bool ISOL = false;                   // isolines instead of a colour raster
    bool STRM = false, TRAJ = false, VEKT = false;
    bool horizontal = false, vertical = false, deviation = false;
    bool DIVI = false, DIFK = false, COMP = false;
    int IS = 0;                          // section kind: 1 column I, 2 row J, 3 level K
    int LCUT = 0;                        // section index
    bool terrain = false;                // terrain-following: LCUT layers above the ground
    platform::Field2D<int> KGEL;         // ground level of each column (terrain-following)
    platform::Field2D<std::int16_t> LGB; // obstacle cells of the section (flow pictures)
    float PZMAX = 0.0f;                  // largest height shown in a vertical section (m)
    float exaggeration = 1.0f;           // vertical exaggeration of a vertical section
    // Axis ranges of the graph (m): from, step, to.
    float XA = 0, XS = 0, XE = 0, YA = 0, YS = 0, YE = 0;
    float GX = 0, GY = 0;                // plot width and height of the picture (mm)
    std::string section_text;            // the section, as the title describes it
    std::string plot_title;
};

Dialogue& dialogue();
void reset_dialogue();

// The steps of the dialogue. The choosers return false when the user ends
// the run there.
void choose_obstacles();
bool choose_picture();
bool choose_section();
void build_terrain_levels();
// Returns false when a further picture no longer fits on the page.
bool set_up_section(bool later = false);

// The quantity a scalar picture shows, with its unit; empty for the flow pictures.
std::string scalar_quantity(char letter, int IS);
// The section index of the obstacles drawn with the picture.
int obstacle_index();
// The field of the scalar picture on the section, drawn as isolines or raster.
void draw_scalar_picture();

// Streamlines (level sections only) and trajectories of the section.
void draw_streamlines();
void draw_trajectories();

// The picture on the plot: the first one opens the plot, later ones (the
// evaluation build) continue on it at the next position.
void draw_picture(bool first = true);

// The dialogue and the picture, after the start-up; returns the exit status.
int run_dialogue();

}  // namespace driver
