// Writing result, diffusion-coefficient and obstacle files in the layouts that
// the readers take: every format version (2.1, 2.0, 1.7, 1.6) and both model
// families, chosen by the first three characters of the program name. Used by
// the example generator, the tests and the superposition of direction results.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace resultfile {

struct ResultFileImage {
    float version = 2.1f;
    std::string program = "QEM";   // 32 characters; "QEM..." or "TRZ..."
    std::string title;             // 80 characters
    std::string infile, igbfile;   // both families
    std::string orodat, landat, uvwdat;  // QEM only
    int NX = 0, NY = 0, NZ = 0;
    float XMIN = 0, YMIN = 0;      // not stored by versions 1.6 and 1.7
    float DX = 0, DY = 0;
    std::vector<float> DZK;        // NZ
    float WNord = 0, DD = 0, FF = 0, ZA = 0, WEXP = 0, D0 = 0, Z0 = 0;  // WEXP QEM only
    std::vector<float> U0, V0;     // NZ each
    float ALPHA = 0;
    bool TOPZU = false;
    std::vector<float> U, V, W;    // (NX+1)·NY·NZ, NX·(NY+1)·NZ, NX·NY·(NZ+1)
};

struct DiffusionFileImage {
    std::string run;               // 32 characters
    int LX = 0, LY = 0, LZ = 0;
    float FAKH = 0, FAKV = 0;      // 0: reals; else 16-bit integers value·FAKH (KX, KY), value·FAKV (KZ)
    std::vector<float> KX, KY, KZ;
};

struct ObstacleRecord {
    std::int16_t IGA, IGE, JGA, JGE, KGA, KGE, HTYP;
};

struct ObstacleFileImage {
    float version = 2.1f;
    std::string program = "QEM";
    std::string title;             // QEM only
    std::string infile, gebdat, orodat, landat, uvwdat;  // QEM; TRZ stores gebdat only
    int NX = 0, NY = 0, NZ = 0;
    float X0 = 0, Y0 = 0, DX = 0, DY = 0;
    std::vector<float> DZK;
    // Massive, orographic (QEM only) and porous obstacles, stored in this order.
    std::vector<ObstacleRecord> massive, orographic, porous;
};

// The byte images; they throw platform::Fatal when the arrays do not fit the
// dimensions or a packed value does not fit 16 bits.
std::string encode_result_file(const ResultFileImage& image);
std::string encode_diffusion_file(const DiffusionFileImage& image);
std::string encode_obstacle_file(const ObstacleFileImage& image);

// Write a file under a temporary name and rename it when complete; fatal on failure.
void write_result_file(const std::string& path, const ResultFileImage& image);
void write_diffusion_file(const std::string& path, const DiffusionFileImage& image);
void write_obstacle_file(const std::string& path, const ObstacleFileImage& image);

}  // namespace resultfile
