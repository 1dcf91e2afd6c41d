// Reading the field records: the inflow and boundary blocks and the three
// wind components of the result file, and the diffusion coefficients of the
// separate diffusion-coefficient file.
#pragma once

#include <span>
#include <string>

#include "platform/field.h"

namespace resultfile {

void GET_ANS();
void GQEM_ANS();

// F receives N1·N2·N3 values of the next wind component (U, V, W in turn).
void GET_UVW(std::span<float> F, int N1, int N2, int N3);
void GQEM_UVW(std::span<float> F, int N1, int N2, int N3);

void GET_DIF(const std::string& FILE);
void GQEM_DIF(const std::string& FILE);

// F receives N1·N2·N3 values of the next coefficient field (KX, KY, KZ in turn).
void GET_KKK(std::span<float> F, int N1, int N2, int N3);
void GQEM_KKK(std::span<float> F, int N1, int N2, int N3);

// After GET_ANS (or GET_DIF): the three fields are read by section from
// here on (see sections.h), once the file was found to hold them all.
void read_wind_by_section();
void read_coefficients_by_section();

// Three fields on the faces of the grid read, sized here: fx on the x faces
// (NX+1, NY, NZ), fy on the y faces, fz on the z faces, through `read`
// (GET_UVW for the wind, GET_KKK for the coefficients).
void read_face_fields(void (*read)(std::span<float>, int, int, int), platform::Field3D<float>& fx,
                      platform::Field3D<float>& fy, platform::Field3D<float>& fz);

// Values that are not numbers (NaN) or infinite in F.
std::size_t non_finite(std::span<const float> F);
// The readers' check of the values read: a field holding values that are
// not finite gets one warning (under `routine`) with their count and the
// first cell; F holds the levels K0, K0+1, ... of N1 x N2 values, which
// begin at cell (I0, J0).
void check_finite(const char* routine, const std::string& field, std::span<const float> F, int N1, int N2,
                  int K0 = 1, int I0 = 1, int J0 = 1);

}  // namespace resultfile
