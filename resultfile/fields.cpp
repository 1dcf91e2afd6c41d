// Result file, after the grid block:
//   5 inflow     QEM: WNord, DD, FF, ZA, WEXP, D0, Z0, U0(1..NZ), V0(1..NZ)
//                TRZ: the same without WEXP
//   6 boundary   ALPHA (real), TOPZU (logical)
//   7 wind       U (NX+1)·NY·NZ, V NX·(NY+1)·NZ, W NX·NY·(NZ+1), first index fastest
// Diffusion-coefficient file:
//   header       run name (32 characters), LX, LY, LZ, FAKH, FAKV
//   fields       KX, KY, KZ with the extents of U, V, W; reals when FAKH is 0,
//                else 16-bit integers, divided by FAKH (KX, KY) or FAKV (KZ)
// Version 1.6 stored the three components as one block; its bytes are those
// of the later layout, so every version is read sequentially, each field in
// one read straight into the caller's array.
#include "resultfile/fields.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "platform/checked.h"
#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/files.h"
#include "platform/text.h"
#include "resultfile/header.h"
#include "resultfile/model.h"
#include "resultfile/sections.h"

namespace resultfile {

namespace {

std::string fixed(float v, int decimals) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%10.*f", decimals, static_cast<double>(v));
    return buffer;
}

// Counts code points, so that labels with umlauts line up.
std::size_t display_width(std::string_view utf8) {
    std::size_t n = 0;
    for (char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

std::string labelled(std::string_view label, float value, int decimals) {
    std::string text(label);
    text.append(36 > display_width(label) ? 36 - display_width(label) : 1, ' ');
    return text + fixed(value, decimals);
}

// The warning for COUNT values of a field that are not finite, naming the
// first; F holds levels K0, K0+1, ... of N1 x N2 values from cell (I0, J0).
void warn_non_finite(const char* routine, const std::string& field, std::span<const float> F, std::size_t count,
                     int N1, int N2, int K0, int I0 = 1, int J0 = 1) {
    if (count == 0) return;
    std::size_t first = 0;
    while (std::isfinite(F[first])) ++first;
    const std::size_t n1 = static_cast<std::size_t>(N1), n12 = n1 * static_cast<std::size_t>(N2);
    std::string line = " ";
    line += routine;
    line += "-W-Feld " + field + ": " + std::to_string(count) + (count == 1 ? " Wert" : " Werte");
    line += " nicht endlich (NaN oder unendlich), erster bei (i,j,k) = (";
    line += std::to_string(first % n1 + static_cast<std::size_t>(I0)) + "," +
            std::to_string(first % n12 / n1 + static_cast<std::size_t>(J0)) + "," +
            std::to_string(first / n12 + static_cast<std::size_t>(K0)) + "); diese Zellen bleiben in den Bildern leer";
    platform::console().line(line);
}

// Number of values of a field whose extents the caller gives; fatal when the
// array cannot hold them.
std::size_t field_size(const char* routine, std::span<float> F, int N1, int N2, int N3) {
    auto n = platform::checked_volume(N1, N2, N3);
    if (!n || *n > F.size())
        platform::fatal(routine, "Feldgröße " + std::to_string(N1) + "x" + std::to_string(N2) + "x" +
                                     std::to_string(N3) + " passt nicht in das Feld des Aufrufers");
    return static_cast<std::size_t>(*n);
}

// Reads n reals into F in pieces that the check for values that are not
// finite finds still in the cache; a field holding such values is read with
// one warning, and the pictures leave those cells out.
void read_reals(platform::ByteReader& f, const char* routine, const std::string& field, std::span<float> F, int N1,
                int N2) {
    constexpr std::size_t kPiece = 16384;
    f.require(4 * static_cast<std::uint64_t>(F.size()), std::to_string(F.size()) + " Gleitkommazahlen");
    std::size_t count = 0;
    for (std::size_t at = 0; at < F.size(); at += kPiece) {
        const std::span<float> piece = F.subspan(at, std::min(kPiece, F.size() - at));
        f.read_f32s(piece);
        count += non_finite(piece);
    }
    warn_non_finite(routine, field, F, count, N1, N2, 1);
}

}  // namespace

// Values that are not numbers (NaN) or infinite: a float whose exponent bits
// are all set. Counted without a branch.
std::size_t non_finite(std::span<const float> F) {
    constexpr std::uint32_t kExponent = 0x7f800000u;
    std::size_t count = 0;
    for (float v : F) count += (std::bit_cast<std::uint32_t>(v) & kExponent) == kExponent;
    return count;
}

void check_finite(const char* routine, const std::string& field, std::span<const float> F, int N1, int N2, int K0,
                  int I0, int J0) {
    warn_non_finite(routine, field, F, non_finite(F), N1, N2, K0, I0, J0);
}

void GET_ANS() { GQEM_ANS(); }

void GQEM_ANS() {
    constexpr char ROUTINE[] = "GQEM_ANS";
    ReaderState& rs = reader_state();
    if (rs.LEVEL_S != 3)
        platform::fatal(ROUTINE, "GQEM_HED, GQEM_DIM, GQEM_GRD\n  müssen zuerst aufgerufen werden");
    platform::ByteReader& f = open_files().result;
    f.set_routine(ROUTINE);
    WindData& w = wind_data();
    const int NZ = grid().NZ;
    const bool qem = rs.MODELL == kQEM;

    w.WNord = f.read_f32();
    w.DD = f.read_f32();
    w.FF = f.read_f32();
    w.ZA = f.read_f32();
    w.WEXP = qem ? f.read_f32() : 0.0f;
    w.D0 = f.read_f32();
    w.Z0 = f.read_f32();
    w.U0.resize(NZ);
    w.V0.resize(NZ);
    f.read_f32s(w.U0.span());
    f.read_f32s(w.V0.span());

    auto& con = platform::console();
    con.line(" Anströmung:");
    con.line(labelled(" Windrichtung DD=", w.DD, 1));
    con.line(labelled(" Windgeschwindigkeit FF=", w.FF, 1));
    if (qem) con.line(labelled(" Profilexponent WEXP=", w.WEXP, 1));
    con.line(labelled(" Höhe bei der FF gilt, ZA=", w.ZA, 1));
    con.line(labelled(" Zero-displacement d0=", w.D0, 2));
    con.line(labelled(" Rauhigkeitshöhe z0=", w.Z0, 2));
    con.line(labelled(" Winkel zw. Nord und x-Achse", w.WNord, 1));
    con.line(labelled(" U und V am oberen Rand", w.U0(NZ), 1) + fixed(w.V0(NZ), 1));

    w.ALPHA = f.read_f32();
    w.TOPZU = f.read_logical();
    con.line(labelled(" Verhältnis von alpha(h) zu alpha(v)", w.ALPHA, 2));
    con.line(w.TOPZU ? " oberer Modellrand geschlossen" : " oberer Modellrand offen");
    rs.LEVEL_S = 4;
}

void GET_UVW(std::span<float> F, int N1, int N2, int N3) { GQEM_UVW(F, N1, N2, N3); }

void GQEM_UVW(std::span<float> F, int N1, int N2, int N3) {
    constexpr char ROUTINE[] = "GQEM_UVW";
    ReaderState& rs = reader_state();
    if (rs.LEVEL_S < 4 || rs.LEVEL_S > 6) {
        char stage[16];
        std::snprintf(stage, sizeof stage, "%3d", rs.LEVEL_S);
        platform::fatal(ROUTINE, std::string("Aufrufreihenfolge GQEM_... beachten!") + stage);
    }
    platform::ByteReader& f = open_files().result;
    f.set_routine(ROUTINE);
    const std::size_t n = field_size(ROUTINE, F, N1, N2, N3);
    static constexpr char kLetters[] = "UVW";
    read_reals(f, ROUTINE, std::string(1, kLetters[rs.LEVEL_S - 4]), F.first(n), N1, N2);

    platform::console().line(std::string(" ") + kLetters[rs.LEVEL_S - 4] + "-Feld eingelesen");
    if (++rs.LEVEL_S > 6) {
        f.close();
        rs.LEVEL_S = 0;
    }
}

void GET_DIF(const std::string& FILE) { GQEM_DIF(FILE); }

void GQEM_DIF(const std::string& FILE) {
    constexpr char ROUTINE[] = "GQEM_DIF";
    ReaderState& rs = reader_state();
    auto& con = platform::console();
    char version[16];
    std::snprintf(version, sizeof version, "%.2f", static_cast<double>(kDiffusionReaderVersion));
    con.line(std::string(" - GQEM_DIF - V") + version + " " + FILE);

    platform::ByteReader& f = open_files().diffusion;
    f.close();
    const std::string path = platform::lookup_file(FILE);
    if (!f.open(path)) MURALERR(ROUTINE, FILE);
    f.set_routine(ROUTINE);
    rs.diffusion_name = path;
    rs.LEVEL_D = 0;

    con.line(" Diffusionskoeffizienten aus dem Programmlauf " + platform::to_utf8(platform::trimmed(f.read_text(32))));
    rs.LX = f.read_i32();
    rs.LY = f.read_i32();
    rs.LZ = f.read_i32();
    const std::string ldims = std::to_string(rs.LX) + " " + std::to_string(rs.LY) + " " + std::to_string(rs.LZ);
    if (rs.DEBUG) con.line(" GQEM_DIF-LX,LY,LZ: " + ldims);
    if (rs.LX <= 0 || rs.LY <= 0 || rs.LZ <= 0)
        platform::fatal(ROUTINE, "Datei " + path + ": ungültige Dimensionen LX,LY,LZ = " + ldims);
    const Grid& g = grid();
    if (g.NX > 0 && (rs.LX != g.NX || rs.LY != g.NY || rs.LZ != g.NZ))
        con.line(" GQEM_DIF-W-Dimensionen LX,LY,LZ = " + ldims + " der Datei " + path +
                 " weichen von NX,NY,NZ = " + std::to_string(g.NX) + " " + std::to_string(g.NY) + " " +
                 std::to_string(g.NZ) + " der Ergebnisdatei ab");

    rs.FAKH = f.read_f32();
    rs.FAKV = f.read_f32();
    if (!std::isfinite(rs.FAKH) || !std::isfinite(rs.FAKV))
        platform::fatal(ROUTINE, "Datei " + path + ": ungültige Packungsfaktoren FAKH, FAKV");
    if (rs.FAKH != 0.0f || rs.FAKV != 0.0f) con.line(" gepacktes Datenformat");
    // KZ of a packed file is divided by FAKV.
    if (rs.FAKH != 0.0f && rs.FAKV == 0.0f)
        platform::fatal(ROUTINE, "Datei " + path + ": gepacktes Datenformat mit FAKV = 0, KZ nicht lesbar");
    rs.LEVEL_D = 1;
}

void GET_KKK(std::span<float> F, int N1, int N2, int N3) { GQEM_KKK(F, N1, N2, N3); }

void GQEM_KKK(std::span<float> F, int N1, int N2, int N3) {
    constexpr char ROUTINE[] = "GQEM_KKK";
    ReaderState& rs = reader_state();
    if (rs.LEVEL_D < 1) platform::stop("GQEM_KKK-falsche Aufrufreihenfoge");
    auto& con = platform::console();
    con.line(" GQEM-KKK-level=" + std::to_string(rs.LEVEL_D));
    con.line("NX,NY,NZ: " + std::to_string(N1) + " " + std::to_string(N2) + " " + std::to_string(N3));
    platform::ByteReader& f = open_files().diffusion;
    f.set_routine(ROUTINE);
    const std::size_t n = field_size(ROUTINE, F, N1, N2, N3);
    static constexpr char kLetters[] = "XYZ";
    const std::string field = std::string("K") + kLetters[rs.LEVEL_D - 1];
    if (rs.FAKH == 0.0f) {
        read_reals(f, ROUTINE, field, F.first(n), N1, N2);
    } else {
        // Checked before the work array is made.
        f.require(2 * static_cast<std::uint64_t>(n), std::to_string(n) + " gepackte Koeffizienten");
        std::vector<std::int16_t> packed(n);
        f.read_i16s(packed);
        const float factor = rs.LEVEL_D == 3 ? rs.FAKV : rs.FAKH;
        for (std::size_t m = 0; m < n; ++m) F[m] = static_cast<float>(packed[m]) / factor;
    }
    con.line(std::string(" ") + field + "-Feld eingelesen");
    if (++rs.LEVEL_D >= 4) {
        f.close();
        rs.LEVEL_D = 0;
    }
}

namespace {

// The three fields of a result or diffusion-coefficient file, read by
// section: each box is read in runs of values that lie one after the other
// in the file, straight into the field (packed coefficients through a small
// buffer). The file's bytes were checked when it was handed over; a file
// that shrinks meanwhile is a read error.
class FileFields : public FieldSource {
public:
    struct Block {
        std::uint64_t offset = 0;  // of the first value
        int n1 = 0, n2 = 0;        // values per row, rows per level
        float divisor = 0.0f;      // of a packed field (16-bit integers); 0 = reals
    };

    FileFields(const char* routine, std::string path, int fd, std::array<std::string, 3> names,
               std::array<Block, 3> blocks)
        : routine_(routine), path_(std::move(path)), fd_(fd), names_(std::move(names)), blocks_(blocks) {
        // A section takes values scattered over the file: no reading ahead.
        ::posix_fadvise(fd_, 0, 0, POSIX_FADV_RANDOM);
    }
    ~FileFields() override { ::close(fd_); }
    FileFields(const FileFields&) = delete;
    FileFields& operator=(const FileFields&) = delete;

    const char* routine() const override { return routine_.c_str(); }
    std::string name(int field) const override { return names_[static_cast<std::size_t>(field)]; }

    void read(int field, const platform::IndexBox& box, std::span<float> out) override {
        const Block& b = blocks_[static_cast<std::size_t>(field)];
        const std::uint64_t n1 = static_cast<std::uint64_t>(b.n1), n2 = static_cast<std::uint64_t>(b.n2);
        const std::size_t row = static_cast<std::size_t>(box.i1 - box.i0 + 1);
        std::uint64_t first = 0;  // value index in the field of the run gathered
        std::size_t length = 0, at = 0, filled = 0;
        for (int k = box.k0; k <= box.k1; ++k)
            for (int j = box.j0; j <= box.j1; ++j) {
                const std::uint64_t next = (static_cast<std::uint64_t>(k - 1) * n2 + static_cast<std::uint64_t>(j - 1)) * n1 +
                                           static_cast<std::uint64_t>(box.i0 - 1);
                if (length > 0 && first + length == next) {
                    length += row;
                } else {
                    if (length > 0) read_values(b, first, out.subspan(at, length));
                    first = next;
                    length = row;
                    at = filled;
                }
                filled += row;
            }
        if (length > 0) read_values(b, first, out.subspan(at, length));
    }

private:
    void read_values(const Block& b, std::uint64_t first, std::span<float> out) {
        if (b.divisor == 0.0f) {
            read_bytes(out.data(), out.size_bytes(), b.offset + 4 * first);
            if constexpr (std::endian::native == std::endian::big)
                for (float& v : out) v = std::bit_cast<float>(__builtin_bswap32(std::bit_cast<std::uint32_t>(v)));
            return;
        }
        constexpr std::size_t kPiece = 65536;
        std::vector<std::int16_t> packed(std::min(kPiece, out.size()));
        for (std::size_t at = 0; at < out.size(); at += kPiece) {
            const std::size_t n = std::min(kPiece, out.size() - at);
            read_bytes(packed.data(), 2 * n, b.offset + 2 * (first + at));
            for (std::size_t m = 0; m < n; ++m) {
                std::int16_t v = packed[m];
                if constexpr (std::endian::native == std::endian::big)
                    v = static_cast<std::int16_t>(__builtin_bswap16(static_cast<std::uint16_t>(v)));
                out[at + m] = static_cast<float>(v) / b.divisor;
            }
        }
    }

    void read_bytes(void* data, std::size_t n, std::uint64_t offset) {
        auto* bytes = static_cast<char*>(data);
        while (n > 0) {
            const ssize_t got = ::pread(fd_, bytes, n, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) platform::fatal(routine_, "Datei " + path_ + ": Lesefehler bei Byte " + std::to_string(offset));
            bytes += got;
            n -= static_cast<std::size_t>(got);
            offset += static_cast<std::uint64_t>(got);
        }
    }

    std::string routine_;
    std::string path_;
    int fd_;
    std::array<std::string, 3> names_;
    std::array<Block, 3> blocks_;
};

// Hands the three fields that follow in `f` over to reading by section,
// after checking that the file holds all of them, as reading them would
// (and with the same message). Each value takes `bytes` bytes.
void hand_over(platform::ByteReader& f, const char* routine, const std::string& path, std::array<std::string, 3> names,
               bool coefficients, int bytes, const std::array<float, 3>& divisors) {
    const Grid& g = grid();
    if (g.NX <= 0 || g.NY <= 0 || g.NZ <= 0) platform::fatal(routine, "das Gitter der Ergebnisdatei fehlt");
    const int extents[3][3] = {{g.NX + 1, g.NY, g.NZ}, {g.NX, g.NY + 1, g.NZ}, {g.NX, g.NY, g.NZ + 1}};
    std::array<FileFields::Block, 3> blocks;
    for (std::size_t c = 0; c < 3; ++c) {
        const std::uint64_t n = *platform::checked_volume(extents[c][0], extents[c][1], extents[c][2]);
        f.require(n * static_cast<std::uint64_t>(bytes),
                  std::to_string(n) + (bytes == 2 ? " gepackte Koeffizienten" : " Gleitkommazahlen"));
        blocks[c] = {f.position(), extents[c][0], extents[c][1], divisors[c]};
        f.seek(f.position() + n * static_cast<std::uint64_t>(bytes));
    }
    const int fd = f.duplicate_descriptor();
    if (fd < 0) MURALERR(routine, path);
    f.close();
    read_by_section(std::make_unique<FileFields>(routine, path, fd, std::move(names), blocks), coefficients);
}

}  // namespace

void read_wind_by_section() {
    constexpr char ROUTINE[] = "GQEM_UVW";
    ReaderState& rs = reader_state();
    if (rs.LEVEL_S != 4) {
        char stage[16];
        std::snprintf(stage, sizeof stage, "%3d", rs.LEVEL_S);
        platform::fatal(ROUTINE, std::string("Aufrufreihenfolge GQEM_... beachten!") + stage);
    }
    platform::ByteReader& f = open_files().result;
    f.set_routine(ROUTINE);
    hand_over(f, ROUTINE, rs.result_name, {"U", "V", "W"}, false, 4, {0.0f, 0.0f, 0.0f});
    rs.LEVEL_S = 0;
}

void read_coefficients_by_section() {
    constexpr char ROUTINE[] = "GQEM_KKK";
    ReaderState& rs = reader_state();
    if (rs.LEVEL_D != 1) platform::stop("GQEM_KKK-falsche Aufrufreihenfoge");
    platform::ByteReader& f = open_files().diffusion;
    f.set_routine(ROUTINE);
    const bool packed = rs.FAKH != 0.0f;
    hand_over(f, ROUTINE, rs.diffusion_name, {"KX", "KY", "KZ"}, true, packed ? 2 : 4,
              packed ? std::array{rs.FAKH, rs.FAKH, rs.FAKV} : std::array{0.0f, 0.0f, 0.0f});
    rs.LEVEL_D = 0;
}

void read_face_fields(void (*read)(std::span<float>, int, int, int), platform::Field3D<float>& fx,
                      platform::Field3D<float>& fy, platform::Field3D<float>& fz) {
    const Grid& g = grid();
    fx.resize(g.NX + 1, g.NY, g.NZ);
    read(fx.span(), g.NX + 1, g.NY, g.NZ);
    fy.resize(g.NX, g.NY + 1, g.NZ);
    read(fy.span(), g.NX, g.NY + 1, g.NZ);
    fz.resize(g.NX, g.NY, g.NZ + 1);
    read(fz.span(), g.NX, g.NY, g.NZ + 1);
}

}  // namespace resultfile
