// The model data of a run, owned by the result-file readers for the whole
// run: the reader's own state, the grid, the inflow data and the 3-D fields.
#pragma once

#include <cstdint>
#include <string>

#include "platform/bytestream.h"
#include "platform/field.h"

namespace resultfile {

// Format version that this reader was built for, and its own version.
inline constexpr float kCurrentVersion = 2.1f;
inline constexpr float kDiffusionReaderVersion = 1.11f;

// The grids that make a map: cell widths (m), the largest distance of the
// corner from 0 (m; UTM with the zone in front reaches 6e7) and the largest
// extent of the model (m).
inline constexpr float kMinCellWidth = 0.001f;
inline constexpr float kMaxCellWidth = 100000.0f;
inline constexpr double kMaxCoordinate = 1.0e8;
inline constexpr double kMaxExtent = 1.0e7;

enum Family { kUnknownFamily = 0, kQEM = 1, kTRZ = 2 };

struct ReaderState {
    float SVERS = 0.0f;   // format version of the result file
    int MODELL = 0;       // family code: 1 QEM, 2 TRZ, 0 unknown
    bool DEBUG = false;   // debug output of the readers
    int LEVEL_S = 0;      // blocks of the result file read so far (0 = not open)
    int LEVEL_D = 0;      // blocks of the diffusion-coefficient file read so far
    float FAKH = 0.0f;    // packing factor of KX, KY (0 = unpacked)
    float FAKV = 0.0f;    // packing factor of KZ
    int LF = 128;         // length of a file-name field in the last header read
    std::string TITEL;    // 80 bytes, as stored (code page 850)
    std::string INFILE, IGBFILE, ORODAT, LANDAT, UVWDAT;  // trimmed, as stored
    std::string MNAME;    // "QEM" or "TRZ", blank-padded to 16
    std::string program;  // name and version of the model program, trimmed, as stored

    std::string result_name;             // the result file being read
    std::uint64_t dimension_offset = 0;  // start of its dimension block
    std::string diffusion_name;          // the diffusion-coefficient file being read
    int LX = 0, LY = 0, LZ = 0;          // dimensions stated by the diffusion file
};

// The files that the readers keep open between their calls.
struct OpenFiles {
    platform::ByteReader result;
    platform::ByteReader diffusion;
    platform::ByteReader obstacle;
};

// The model grid: equidistant horizontally, variable vertically. Faces carry
// the staggered wind components, centres lie half a width above the faces.
struct Grid {
    int NX = 0, NY = 0, NZ = 0;                  // number of cells
    float DX = 0.0f, DY = 0.0f;                  // cell widths (m)
    float XMIN = 0.0f, XMAX = 0.0f, YMIN = 0.0f, YMAX = 0.0f;  // extent (m)
    platform::Array1D<float> DXI, DYJ;           // width of each column and row (m)
    platform::Array1D<float> DZK;                // layer thicknesses from the ground (m)
    platform::Array1D<float> XU, YV, ZW;         // faces, NX+1, NY+1, NZ+1 (m)
    platform::Array1D<float> XL, YL, ZL;         // centres (m)
    float X0 = 0.0f, Y0 = 0.0f;                  // reference point of the plot coordinates (m)

    // Faces and centres relative to the grid's corner (XMIN, YMIN): the plot
    // coordinates. Held in single precision, the real coordinates of a grid
    // placed at a few million metres (Gauss-Krüger, UTM) lose whole
    // decimetres; relative to the corner they keep a fraction of a millimetre.
    float face_x(int i) const { return static_cast<float>((i - 1) * static_cast<double>(DX)); }
    float face_y(int j) const { return static_cast<float>((j - 1) * static_cast<double>(DY)); }
    float centre_x(int i) const { return static_cast<float>((i - 0.5) * static_cast<double>(DX)); }
    float centre_y(int j) const { return static_cast<float>((j - 0.5) * static_cast<double>(DY)); }
};

// The inflow conditions of the model run.
struct WindData {
    float WNord = 0.0f;  // angle between north and the x axis (degrees)
    float DD = 0.0f;     // inflow wind direction (degrees)
    float FF = 0.0f;     // inflow wind speed (m/s)
    float ZA = 0.0f;     // height at which FF holds (m)
    float WEXP = 0.0f;   // power-law profile exponent (QEM only)
    float D0 = 0.0f;     // zero-plane displacement (m)
    float Z0 = 0.0f;     // roughness length (m)
    platform::Array1D<float> U0, V0;  // inflow profile per layer, 1..NZ (m/s)
    float ALPHA = 0.0f;  // ratio of alpha(h) to alpha(v)
    bool TOPZU = false;  // upper model boundary closed
};

// The 3-D fields of the run, first index fastest: U on the x faces
// (NX+1, NY, NZ), V on the y faces (NX, NY+1, NZ), W on the z faces
// (NX, NY, NZ+1); the diffusion coefficients KX, KY, KZ likewise.
struct ModelFields {
    platform::Field3D<float> U, V, W;     // m/s
    platform::Field3D<float> KX, KY, KZ;  // m²/s
};

// The obstacles of the run: boxes of cells (inclusive, 1-based indexes),
// first the nb massive ones, then the no orographic, then the np porous.
struct ObstacleList {
    int nb = 0, no = 0, np = 0;  // massive, orographic, porous
    int ngb = 0;                 // nb + no + np
    platform::Array1D<std::int16_t> IGA, IGE, JGA, JGE, KGA, KGE;  // cell index ranges
    platform::Array1D<std::int16_t> HTYP;                          // type code as stored
    std::string file;            // the obstacle file that was read
    std::string title;           // its title (QEM), kept apart from the run's title
};

ReaderState& reader_state();
ObstacleList& obstacles();
OpenFiles& open_files();
Grid& grid();
WindData& wind_data();
ModelFields& model_fields();

// Back to the state at program start (closes any open file).
void reset_model();

// Versions are compared with a tolerance of 0.001.
inline bool same_version(float a, float b) {
    float d = a - b;
    return d <= 0.001f && d >= -0.001f;
}
inline bool below_version(float a, float b) { return a < b - 0.001f; }

// Length of a file-name field in a header of the given version.
inline int name_field_length(float version) { return below_version(version, kCurrentVersion) ? 32 : 128; }

}  // namespace resultfile
