// Reading the first blocks of a result file: identification, description,
// dimensions and grid. The outer readers identify the model family and hand
// over to the family readers, which own the open file and enforce the order
// of the blocks.
#pragma once

#include <string>
#include <string_view>

#include "platform/field.h"

namespace resultfile {

void GET_HEAD(const std::string& FILE, bool LDEBUG, std::string& MNAME);
void GET_DIM(int& NX, int& NY, int& NZ, int& kGrid);
void GET_GRID();
// The extent, widths, faces and centres of a grid from NX, NY, NZ, XMIN,
// YMIN, DX, DY and DZK, as GET_GRID derives and shows them.
struct Grid;
void complete_grid(Grid& g);
// Refuses a grid that makes no map, naming `file` and the value.
void check_grid(const char* ROUTINE, const std::string& file, float XMIN, float YMIN, float DX, float DY,
                const platform::Array1D<float>& DZK, int NX, int NY);

// After the question whether to go on with a file of another format version:
// anything but "J" or "j" (also the end of the input) stops the run without a
// message.
void go_on_or_stop(std::string_view prompt);

void GQEM_HED(const std::string& FILE);
void GTRZ_HED(const std::string& FILE);
void GQEM_DIM(int& NX, int& NY, int& NZ);
void GQEM_GRD(float& XMIN, float& YMIN, float& DX, float& DY, platform::Array1D<float>& DZK, int NZ);

// The fatal file error: the file could not be opened by the routine.
[[noreturn]] void MURALERR(std::string_view ROUTINE, std::string_view FILE);

}  // namespace resultfile
