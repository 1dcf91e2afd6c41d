// The run's three fields read by section: a picture makes present the cells
// it draws, and only their bytes are read from the file, so that a picture of
// one level of a run of gigabytes reads megabytes. The result file, the
// diffusion-coefficient file and a NetCDF file each give a FieldSource; what
// happens around the reads is the same for all: the fields are sized to the
// section, the values read pass the readers' check for values that are not
// finite (one warning per field read), and the console says what was read.
#pragma once

#include <memory>
#include <span>
#include <string>

#include "platform/field.h"

namespace resultfile {

// The fields a picture takes, by the faces they lie on.
enum FaceFields : unsigned { kXFaces = 1, kYFaces = 2, kZFaces = 4, kAllFaces = 7 };

// Where the run's three fields, on the x, y and z faces, are read from.
class FieldSource {
public:
    virtual ~FieldSource() = default;
    // The routine named in the messages ("GQEM_UVW", "GET_NC").
    virtual const char* routine() const = 0;
    // The name of field 0, 1 or 2 in the messages ("U", "KZ", "u").
    virtual std::string name(int field) const = 0;
    // Reads the box (in the field's own indexes) into out, first index fastest.
    virtual void read(int field, const platform::IndexBox& box, std::span<float> out) = 0;
};

// From here on the fields of the model records (U, V, W; with `coefficients`
// KX, KY, KZ) are read by section from `source`; until a section is read
// they hold nothing.
void read_by_section(std::unique_ptr<FieldSource> source, bool coefficients);
// Reads the whole fields from `source` at once (an evaluation needs them all).
void read_whole(std::unique_ptr<FieldSource> source, bool coefficients);

// Makes the cells (1-based, inclusive) of the chosen fields present, each
// field with the faces around them: U also at i1+1, V at j1+1, W at k1+1.
// What a field held before is released; fields not chosen hold nothing.
// Without reading by section, the fields hold the whole run: nothing to do.
void read_section(const platform::IndexBox& cells, unsigned fields = kAllFaces);
// The layers first..last of every field, all their cells.
void read_field_levels(int first, int last);

// Ends the reading by section and closes its file; the fields keep what they hold.
void close_sections();

}  // namespace resultfile
