// The header of a NetCDF file of the classic formats (CDF-1, CDF-2, CDF-5),
// checked before the library reads it: the library allocates what the header
// claims (a name of half a gigabyte) before it looks at the file's size.
//
//   header    = "CDF" version numrecs dim_list gatt_list var_list
//   dim_list  = absent | 0x0A count dim...       dim  = name length
//   att_list  = absent | 0x0C count attr...      attr = name type count values
//   var_list  = absent | 0x0B count var...       var  = name ndims dimid... att_list type vsize begin
//   name      = count bytes, padded to 4          absent = 0 0
// Big-endian; counts, lengths and dimension ids are 4 bytes (8 in CDF-5),
// begin 4 bytes in CDF-1, else 8. Every count must fit the bytes that are
// left, as each item it counts takes bytes of the file.
#include "resultfile/netcdf_classic.h"

#include <cstdio>
#include <memory>

namespace resultfile {

namespace {

class Header {
public:
    Header(std::FILE* file, std::uint64_t size) : file_(file), size_(size) {}

    std::uint64_t left() const { return size_ - at_; }

    bool bytes(void* out, std::uint64_t n) {
        if (n > left() || std::fread(out, 1, n, file_) != n) return false;
        at_ += n;
        return true;
    }
    bool skip(std::uint64_t n) {
        if (n > left() || std::fseek(file_, static_cast<long>(at_ + n), SEEK_SET) != 0) return false;
        at_ += n;
        return true;
    }
    bool number(std::uint64_t& v, int width) {
        unsigned char b[8];
        if (!bytes(b, static_cast<std::uint64_t>(width))) return false;
        v = 0;
        for (int k = 0; k < width; ++k) v = v << 8 | b[k];
        return true;
    }

private:
    std::FILE* file_;
    std::uint64_t size_;
    std::uint64_t at_ = 0;
};

// Bytes of one value of a type; 0 for no type of the format.
int type_size(std::uint64_t type, bool cdf5) {
    switch (type) {
        case 1: case 2: return 1;
        case 3: return 2;
        case 4: case 5: return 4;
        case 6: return 8;
        case 7: return cdf5 ? 1 : 0;
        case 8: return cdf5 ? 2 : 0;
        case 9: return cdf5 ? 4 : 0;
        case 10: case 11: return cdf5 ? 8 : 0;
        default: return 0;
    }
}

constexpr std::uint64_t kMaxName = 256;

struct Checker {
    Header& h;
    int width;  // of counts and lengths
    bool cdf5;
    std::string fault;

    bool fail(const std::string& what) {
        fault = what;
        return false;
    }
    bool padded(std::uint64_t n) { return h.skip((n + 3) / 4 * 4); }
    bool name(const char* of) {
        std::uint64_t n = 0;
        if (!h.number(n, width) || n == 0 || n > kMaxName || !padded(n))
            return fail(std::string("Name eines Eintrags (") + of + ")");
        return true;
    }
    // A list's tag and count; the count may claim no more items than the
    // bytes left could hold at `least` bytes each.
    bool list(std::uint64_t tag, std::uint64_t least, std::uint64_t& count, const char* of) {
        std::uint64_t t = 0;
        if (!h.number(t, 4) || !h.number(count, width)) return fail(std::string("Liste der ") + of);
        if (t == 0 && count == 0) return true;
        if (t != tag || count > h.left() / least) return fail(std::string("Liste der ") + of);
        return true;
    }
    bool attributes(const char* of) {
        std::uint64_t count = 0;
        if (!list(0x0C, 12, count, of)) return false;
        for (std::uint64_t a = 0; a < count; ++a) {
            std::uint64_t type = 0, n = 0;
            if (!name(of)) return false;
            if (!h.number(type, 4) || !h.number(n, width)) return fail(std::string("Attribut ") + of);
            const int size = type_size(type, cdf5);
            if (size == 0 || n > h.left() / static_cast<std::uint64_t>(size) ||
                !padded(n * static_cast<std::uint64_t>(size)))
                return fail(std::string("Werte eines Attributs ") + of);
        }
        return true;
    }
    bool run(int version) {
        std::uint64_t records = 0, dims = 0, vars = 0;
        if (!h.number(records, width)) return fail("Zahl der Datensätze");
        if (!list(0x0A, 8, dims, "Dimensionen")) return false;
        for (std::uint64_t d = 0; d < dims; ++d) {
            std::uint64_t length = 0;
            if (!name("Dimension")) return false;
            if (!h.number(length, width)) return fail("Dimension");
        }
        if (!attributes("der Datei")) return false;
        if (!list(0x0B, 16, vars, "Variablen")) return false;
        for (std::uint64_t v = 0; v < vars; ++v) {
            std::uint64_t ndims = 0, id = 0, type = 0, vsize = 0, begin = 0;
            if (!name("Variable")) return false;
            if (!h.number(ndims, width) || ndims > h.left() / static_cast<std::uint64_t>(width))
                return fail("Dimensionen einer Variablen");
            for (std::uint64_t d = 0; d < ndims; ++d)
                if (!h.number(id, width) || id >= dims) return fail("Dimension einer Variablen");
            if (!attributes("einer Variablen")) return false;
            if (!h.number(type, 4) || type_size(type, cdf5) == 0) return fail("Typ einer Variablen");
            if (!h.number(vsize, cdf5 ? 8 : 4) || !h.number(begin, version == 1 ? 4 : 8))
                return fail("Lage einer Variablen");
        }
        return true;
    }
};

}  // namespace

std::optional<std::string> classic_header_fault(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) return "Datei nicht lesbar";
    const long end = std::ftell(file.get());
    if (end < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) return "Datei nicht lesbar";
    Header h(file.get(), static_cast<std::uint64_t>(end));
    unsigned char magic[4];
    if (!h.bytes(magic, 4) || magic[0] != 'C' || magic[1] != 'D' || magic[2] != 'F') return std::nullopt;
    const int version = magic[3];
    if (version != 1 && version != 2 && version != 5) return "unbekannte Version " + std::to_string(version);
    Checker c{h, version == 5 ? 8 : 4, version == 5, {}};
    if (!c.run(version)) return c.fault + " reicht über das Ende der Datei oder ist ungültig";
    return std::nullopt;
}

}  // namespace resultfile
