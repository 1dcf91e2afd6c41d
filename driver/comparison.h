// The comparison of two runs ("/v"): the second result file read into its
// own image, and the difference of the main run minus it, formed once.
#pragma once

#include "platform/field.h"
#include "resultfile/model.h"
#include "resultfile/writer.h"

namespace driver {

struct Comparison {
    bool read = false;
    resultfile::ResultFileImage other;    // the comparison run as read
    resultfile::ModelFields other_fields;  // its U, V, W on the main run's grid
    resultfile::ModelFields difference;    // main run minus comparison run
};

Comparison& comparison();
void reset_comparison();

// Reads the comparison file VFILE once; its grid must match the main run's.
void read_comparison();

// A := A - B over N1·N2·N3 values.
void DIFA1A2(platform::Field3D<float>& A1, const platform::Field3D<float>& A2, int N1, int N2, int N3);

// The wind the picture shows: the difference of the runs for the
// difference pictures "X" and "Y", else the main run's.
struct Picture;
const resultfile::ModelFields& picture_wind(const Picture& p);

}  // namespace driver
