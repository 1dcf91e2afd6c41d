// The names of a model run in a NetCDF file, shared by the writer (erg2nc)
// and the reader (mural RUN.nc). The file follows CF-1.10 and SGRID-0.3:
//
//   dimensions  x (NX cell centres), xu (NX+1 faces), y, yv, z, zw, bnds (2),
//               obstacle (the boxes of the obstacle list, when there are any),
//               box_limit (6)
//   u(z, y, xu), v(z, yv, x), w(zw, y, x)        the wind as stored, m s-1
//   KX(z, y, xu), KY(z, yv, x), KZ(zw, y, x)     exchange coefficients, m2 s-1
//   obstacles(z, y, x)                           flag byte: air, building,
//                                                orography, porous
//   obstacle_box(obstacle, box_limit), obstacle_type(obstacle),
//   obstacle_class(obstacle)                     the obstacle list itself
//   u_centred, v_centred, w_centred, wind_speed  cell-centre means (--centred)
//   x, xu, y, yv, z, zw, x_bnds, y_bnds, z_bnds  coordinates in metres
//   dx, dy, dz(z)                                cell widths as the run states them
//   grid_north_angle, inflow_*, roughness_length, displacement_height,
//   boundary_alpha_ratio, top_closed, u0(z), v0(z)   the inflow
//   grid                                         the SGRID topology
//
// Fields are stored with the first grid index fastest, as in the result
// file: C order (k, j, i).
#pragma once

namespace resultfile::netcdf {

// Dimensions.
inline constexpr char kX[] = "x";
inline constexpr char kXU[] = "xu";
inline constexpr char kY[] = "y";
inline constexpr char kYV[] = "yv";
inline constexpr char kZ[] = "z";
inline constexpr char kZW[] = "zw";
inline constexpr char kBounds[] = "bnds";
inline constexpr char kObstacle[] = "obstacle";
inline constexpr char kBoxLimit[] = "box_limit";

// Grid widths as the run states them.
inline constexpr char kDX[] = "dx";
inline constexpr char kDY[] = "dy";
inline constexpr char kDZ[] = "dz";

// One field of the staggered grid: its name and the dimensions of its
// z, y and x axes (slowest first).
struct FieldLayout {
    const char* name;
    const char* dims[3];
    const char* location;  // SGRID location
};
inline constexpr FieldLayout kWindFields[3] = {
    {"u", {kZ, kY, kXU}, "edge1"}, {"v", {kZ, kYV, kX}, "edge2"}, {"w", {kZW, kY, kX}, "face"}};
inline constexpr FieldLayout kCoefficientFields[3] = {
    {"KX", {kZ, kY, kXU}, "edge1"}, {"KY", {kZ, kYV, kX}, "edge2"}, {"KZ", {kZW, kY, kX}, "face"}};

// Obstacles.
inline constexpr char kObstacleFlags[] = "obstacles";
inline constexpr char kObstacleBox[] = "obstacle_box";
inline constexpr char kObstacleType[] = "obstacle_type";
inline constexpr char kObstacleClass[] = "obstacle_class";
// Flag values of the obstacle field and classes of the list.
enum ObstacleFlag : signed char { kAir = 0, kBuilding = 1, kOrography = 2, kPorous = 3 };
inline constexpr char kObstacleMeanings[] = "air building orography porous";

// Inflow.
inline constexpr char kNorthAngle[] = "grid_north_angle";
inline constexpr char kDirection[] = "inflow_direction";
inline constexpr char kSpeed[] = "inflow_speed";
inline constexpr char kReferenceHeight[] = "inflow_reference_height";
inline constexpr char kExponent[] = "inflow_profile_exponent";
inline constexpr char kDisplacement[] = "displacement_height";
inline constexpr char kRoughness[] = "roughness_length";
inline constexpr char kAlpha[] = "boundary_alpha_ratio";
inline constexpr char kTopClosed[] = "top_closed";
inline constexpr char kU0[] = "u0";
inline constexpr char kV0[] = "v0";

// Global attributes beyond CF's own.
inline constexpr char kFamily[] = "model_family";
inline constexpr char kProgram[] = "model_program";
inline constexpr char kFormatVersion[] = "result_file_version";
inline constexpr char kResultFile[] = "result_file";
inline constexpr char kObstacleFile[] = "obstacle_file";
inline constexpr char kCoefficientFile[] = "coefficient_file";
// The names stored in the result file's header.
inline constexpr char kHeaderControl[] = "header_control_file";
inline constexpr char kHeaderObstacle[] = "header_obstacle_file";
inline constexpr char kHeaderOrography[] = "header_orography_file";
inline constexpr char kHeaderLandUse[] = "header_land_use_file";
inline constexpr char kHeaderWind[] = "header_wind_field_file";

}  // namespace resultfile::netcdf
