#include "resultfile/writer.h"

#include <cmath>

#include "platform/bytestream.h"
#include "platform/fatal.h"
#include "platform/files.h"
#include "resultfile/model.h"

namespace resultfile {

namespace {

constexpr char ROUTINE[] = "WRITE";

bool is_trz(const std::string& program) { return program.compare(0, 3, "TRZ") == 0; }

void check_size(const std::vector<float>& v, std::size_t n, const char* name) {
    if (v.size() != n)
        platform::fatal(ROUTINE, std::string(name) + " hat " + std::to_string(v.size()) + " statt " +
                                     std::to_string(n) + " Werte");
}

void check_dimensions(int NX, int NY, int NZ) {
    if (NX <= 0 || NY <= 0 || NZ <= 0) platform::fatal(ROUTINE, "Dimensionen müssen positiv sein");
}

std::size_t volume(int a, int b, int c) {
    return static_cast<std::size_t>(a) * static_cast<std::size_t>(b) * static_cast<std::size_t>(c);
}

void put_packed(platform::ByteWriter& out, const std::vector<float>& values, float factor, const char* name) {
    for (float v : values) {
        float scaled = std::round(v * factor);
        if (!(scaled >= -32768.0f && scaled <= 32767.0f))
            platform::fatal(ROUTINE, std::string(name) + ": gepackter Wert außerhalb von 16 bit");
        out.put_i16(static_cast<std::int16_t>(scaled));
    }
}

void write_bytes(const std::string& path, const std::string& bytes) {
    int error = 0;
    if (!platform::write_file_atomically(path, bytes, &error))
        platform::fatal(ROUTINE, "Datei " + path + " konnte nicht geschrieben werden: " + platform::describe_error(error));
}

}  // namespace

std::string encode_result_file(const ResultFileImage& r) {
    check_dimensions(r.NX, r.NY, r.NZ);
    const std::size_t nz = static_cast<std::size_t>(r.NZ);
    check_size(r.DZK, nz, "DZK");
    check_size(r.U0, nz, "U0");
    check_size(r.V0, nz, "V0");
    check_size(r.U, volume(r.NX + 1, r.NY, r.NZ), "U");
    check_size(r.V, volume(r.NX, r.NY + 1, r.NZ), "V");
    check_size(r.W, volume(r.NX, r.NY, r.NZ + 1), "W");
    const bool trz = is_trz(r.program);
    const std::size_t lf = static_cast<std::size_t>(name_field_length(r.version));

    platform::ByteWriter out;
    out.put_f32(r.version);
    out.put_text(r.program, 32);
    out.put_text(r.title, 80);
    out.put_text(r.infile, lf);
    out.put_text(r.igbfile, lf);
    if (!trz) {
        out.put_text(r.orodat, lf);
        out.put_text(r.landat, lf);
        out.put_text(r.uvwdat, lf);
    }
    out.put_i32(r.NX);
    out.put_i32(r.NY);
    out.put_i32(r.NZ);
    // 1.6 repeats the dimensions in its grid block, which is one block with
    // them: the bytes are the dimension block followed by the 1.7 grid block.
    if (!same_version(r.version, 1.6f) && !same_version(r.version, 1.7f)) {
        out.put_f32(r.XMIN);
        out.put_f32(r.YMIN);
    }
    out.put_f32(r.DX);
    out.put_f32(r.DY);
    out.put_f32s(r.DZK);
    out.put_f32(r.WNord);
    out.put_f32(r.DD);
    out.put_f32(r.FF);
    out.put_f32(r.ZA);
    if (!trz) out.put_f32(r.WEXP);
    out.put_f32(r.D0);
    out.put_f32(r.Z0);
    out.put_f32s(r.U0);
    out.put_f32s(r.V0);
    out.put_f32(r.ALPHA);
    out.put_logical(r.TOPZU);
    out.put_f32s(r.U);
    out.put_f32s(r.V);
    out.put_f32s(r.W);
    return std::move(out.bytes());
}

std::string encode_diffusion_file(const DiffusionFileImage& d) {
    check_dimensions(d.LX, d.LY, d.LZ);
    check_size(d.KX, volume(d.LX + 1, d.LY, d.LZ), "KX");
    check_size(d.KY, volume(d.LX, d.LY + 1, d.LZ), "KY");
    check_size(d.KZ, volume(d.LX, d.LY, d.LZ + 1), "KZ");
    platform::ByteWriter out;
    out.put_text(d.run, 32);
    out.put_i32(d.LX);
    out.put_i32(d.LY);
    out.put_i32(d.LZ);
    out.put_f32(d.FAKH);
    out.put_f32(d.FAKV);
    if (d.FAKH == 0.0f) {
        out.put_f32s(d.KX);
        out.put_f32s(d.KY);
        out.put_f32s(d.KZ);
    } else {
        put_packed(out, d.KX, d.FAKH, "KX");
        put_packed(out, d.KY, d.FAKH, "KY");
        put_packed(out, d.KZ, d.FAKV, "KZ");
    }
    return std::move(out.bytes());
}

std::string encode_obstacle_file(const ObstacleFileImage& o) {
    check_dimensions(o.NX, o.NY, o.NZ);
    check_size(o.DZK, static_cast<std::size_t>(o.NZ), "DZK");
    const bool trz = is_trz(o.program);
    if (trz && !o.orographic.empty()) platform::fatal(ROUTINE, "TRZ-Hindernisdateien haben keine Orographie");
    const std::size_t lf = static_cast<std::size_t>(name_field_length(o.version));

    platform::ByteWriter out;
    out.put_f32(o.version);
    out.put_text(o.program, 32);
    if (trz) {
        out.put_text(o.gebdat, lf);
    } else {
        out.put_text(o.title, 80);
        out.put_text(o.infile, lf);
        out.put_text(o.gebdat, lf);
        out.put_text(o.orodat, lf);
        out.put_text(o.landat, lf);
        out.put_text(o.uvwdat, lf);
    }
    out.put_i32(o.NX);
    out.put_i32(o.NY);
    out.put_i32(o.NZ);
    out.put_f32(o.X0);
    out.put_f32(o.Y0);
    out.put_f32(o.DX);
    out.put_f32(o.DY);
    out.put_f32s(o.DZK);
    out.put_i32(static_cast<std::int32_t>(o.massive.size()));
    if (!trz) out.put_i32(static_cast<std::int32_t>(o.orographic.size()));
    out.put_i32(static_cast<std::int32_t>(o.porous.size()));
    for (const auto* group : {&o.massive, &o.orographic, &o.porous}) {
        for (const ObstacleRecord& b : *group) {
            for (std::int16_t v : {b.IGA, b.IGE, b.JGA, b.JGE, b.KGA, b.KGE, b.HTYP}) out.put_i16(v);
        }
    }
    return std::move(out.bytes());
}

void write_result_file(const std::string& path, const ResultFileImage& image) {
    write_bytes(path, encode_result_file(image));
}

void write_diffusion_file(const std::string& path, const DiffusionFileImage& image) {
    write_bytes(path, encode_diffusion_file(image));
}

void write_obstacle_file(const std::string& path, const ObstacleFileImage& image) {
    write_bytes(path, encode_obstacle_file(image));
}

}  // namespace resultfile
