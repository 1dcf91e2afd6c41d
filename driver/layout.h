// The plot layout parameter file: size and origin of the picture, character
// height, font and the default names of plot and palette file.
#pragma once

#include <string>

namespace driver {

// All but the first argument are in-out: the caller's defaults stay where the
// file says nothing. Lengths in millimetres.
// GR, when given, receives the picture formats of the key "gr".
void DEFPAR(const std::string& DEF_FILE, float& AX, float& AY, float& XN, float& YN, float& ZH, bool& FO,
            std::string& PLT_FILE, std::string& PAL_FILE, std::string* GR = nullptr);

}  // namespace driver
