// Small map elements around the plot: scale bar, north arrow, compass rose
// with the inflow direction, and the logo. Page millimetres throughout.
#pragma once

namespace mapelements {

void MSKALA(float XBALK, float Y0BALK, char LOCB, float SREAL, float HBALK, int NSEK);
float XSKALA(float SREAL, char WO);
void NORTH(float al, float ah, float phi, float xpos, float ypos);
void DIRNOFL(float wnord, float dd, float rad, float xpos, float ypos);
void AVO_LOGO(float xp, float yp, float hoehe, int ifill, char cpos, bool quiet);

}  // namespace mapelements
