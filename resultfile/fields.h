// Reading the field records: the inflow and boundary blocks and the three
// wind components of the result file, and the diffusion coefficients of the
// separate diffusion-coefficient file.
#pragma once

#include <span>
#include <string>

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

}  // namespace resultfile
