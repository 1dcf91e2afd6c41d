#include "resultfile/netcdf_file.h"

#include <netcdf.h>
#include <netcdf_mem.h>

#include "platform/fatal.h"

namespace resultfile {

namespace {

// No text of a run comes near this; a longer attribute is passed over rather than read.
constexpr std::size_t kMaxText = 4096;

}  // namespace

NcFile::~NcFile() {
    if (id_ >= 0) nc_abort(id_);
}

int NcFile::open(const std::string& path) {
    close();
    path_ = path;
    int id = -1;
    const int status = nc_open(path.c_str(), NC_NOWRITE, &id);
    if (status == NC_NOERR) id_ = id;
    return status;
}

int NcFile::create_in_memory(const std::string& name, int mode, std::size_t initial_size) {
    close();
    path_ = name;
    int id = -1;
    const int status = nc_create_mem(name.c_str(), mode, initial_size, &id);
    if (status == NC_NOERR) id_ = id;
    return status;
}

int NcFile::close_to_memory(Image& image) {
    NC_memio memio{};
    const int status = nc_close_memio(id_, &memio);
    id_ = -1;
    image.bytes.reset(memio.memory);
    image.size = status == NC_NOERR ? memio.size : 0;
    return status;
}

int NcFile::close() {
    if (id_ < 0) return NC_NOERR;
    const int status = nc_close(id_);
    id_ = -1;
    return status;
}

void NcFile::fail(std::string_view text) const {
    platform::fatal(routine_, "Datei " + path_ + ": " + std::string(text));
}

void NcFile::check(int status, std::string_view what) const {
    if (status != NC_NOERR) fail(std::string(what) + ": " + nc_strerror(status));
}

std::optional<int> NcFile::variable(const char* name) const {
    int varid = -1;
    if (nc_inq_varid(id_, name, &varid) != NC_NOERR) return std::nullopt;
    return varid;
}

std::optional<std::size_t> NcFile::dimension(const char* name) const {
    int dimid = -1;
    std::size_t length = 0;
    if (nc_inq_dimid(id_, name, &dimid) != NC_NOERR || nc_inq_dimlen(id_, dimid, &length) != NC_NOERR)
        return std::nullopt;
    return length;
}

std::vector<NcFile::Dimension> NcFile::dimensions_of(int varid) const {
    int ndims = 0;
    check(nc_inq_varndims(id_, varid, &ndims), "Variable ohne Dimensionen");
    std::vector<int> ids(static_cast<std::size_t>(ndims));
    if (ndims > 0) check(nc_inq_vardimid(id_, varid, ids.data()), "Dimensionen einer Variablen");
    std::vector<Dimension> dims;
    for (int id : ids) {
        char name[NC_MAX_NAME + 1] = {};
        std::size_t length = 0;
        check(nc_inq_dim(id_, id, name, &length), "Dimension einer Variablen");
        dims.push_back({name, length});
    }
    return dims;
}

int NcFile::type_of(int varid) const {
    nc_type type = NC_NAT;
    check(nc_inq_vartype(id_, varid, &type), "Typ einer Variablen");
    return type;
}

std::optional<std::string> NcFile::text_attribute(int varid, const char* name) const {
    nc_type type = NC_NAT;
    std::size_t length = 0;
    if (nc_inq_att(id_, varid, name, &type, &length) != NC_NOERR) return std::nullopt;
    if (type == NC_CHAR) {
        if (length > kMaxText) return std::nullopt;
        std::string text(length, '\0');
        if (length > 0 && nc_get_att_text(id_, varid, name, text.data()) != NC_NOERR) return std::nullopt;
        // Texts written from C may end in a terminating zero.
        while (!text.empty() && text.back() == '\0') text.pop_back();
        return text;
    }
    if (type == NC_STRING && length == 1) {
        char* value = nullptr;
        if (nc_get_att_string(id_, varid, name, &value) != NC_NOERR) return std::nullopt;
        std::string text = value ? std::string(value) : std::string();
        nc_free_string(1, &value);
        return text;
    }
    return std::nullopt;
}

std::optional<double> NcFile::number_attribute(int varid, const char* name) const {
    nc_type type = NC_NAT;
    std::size_t length = 0;
    if (nc_inq_att(id_, varid, name, &type, &length) != NC_NOERR || length == 0) return std::nullopt;
    if (type == NC_CHAR || type == NC_STRING || type > NC_STRING || length > kMaxText) return std::nullopt;
    std::vector<double> values(length);
    if (nc_get_att_double(id_, varid, name, values.data()) != NC_NOERR) return std::nullopt;
    return values.front();
}

void NcFile::put_text(int varid, const char* name, std::string_view text) {
    check(nc_put_att_text(id_, varid, name, text.size(), text.data()), std::string("Attribut ") + name);
}

void NcFile::put_number(int varid, const char* name, int type, std::initializer_list<double> values) {
    check(nc_put_att_double(id_, varid, name, type, values.size(), values.begin()), std::string("Attribut ") + name);
}

}  // namespace resultfile
