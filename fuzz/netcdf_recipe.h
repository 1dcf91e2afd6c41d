// NetCDF files built from fuzz input. The bytes are not the file: the
// library's own parser of NetCDF-4 files (HDF5) is not MURAL's to mend, so
// each byte is a decision of how a writer might have made the file - format,
// dimensions (faces one more than cells, or not), which variables are there,
// their types, shapes, packing and missing values, the coordinates, the
// obstacle list, the values - and the file is written through the library.
// A byte of 0 (also when the input has ended) is the sound decision, so an
// empty input gives a complete run. Inputs that begin with "CDF" are taken
// as the bytes of a classic-format file, whose parser is the library's own.
#pragma once

#include <netcdf.h>

#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

class Recipe {
public:
    Recipe(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t take() { return at_ < size_ ? data_[at_++] : 0; }
    int take16() { return static_cast<std::int16_t>(take() | take() << 8); }
    // A value from the bytes left over: mostly small numbers, sometimes NaN or infinite.
    double value() {
        if (size_ == 0 || at_ >= size_) return 1.0 + 0.25 * static_cast<double>(next_++ % 7);
        const std::uint8_t b = data_[at_ + next_++ % (size_ - at_)];
        if (b == 0x7F) return __builtin_nan("");
        if (b == 0x7E) return __builtin_inf();
        return static_cast<signed char>(b) * 0.5;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    std::size_t next_ = 0;
};

struct RecipeRun {
    std::vector<std::string> options;  // after the file name
    std::string answers;
};

// A variable of the recipe's file and its number of values.
struct RecipeVar {
    int id;
    std::size_t count;
};

// The values of the variables: coordinates of cells of 10 m or less from an
// origin, sometimes uneven; box limits and classes from the input; the rest
// from the bytes left.
inline void put_recipe_values(Recipe& r, int id, const std::vector<RecipeVar>& vars, int box) {
    const double origin = r.take16(), width = 10 - r.take() % 10;
    const bool uneven = r.take() % 16 == 15;
    for (const RecipeVar& v : vars) {
        char name[NC_MAX_NAME + 1] = {};
        nc_inq_varname(id, v.id, name);
        const std::string s = name;
        std::vector<double> values(v.count);
        for (std::size_t k = 0; k < v.count; ++k) {
            const double step = static_cast<double>(k) + (s == "x" || s == "y" ? 0.5 : 0.0);
            if (s == "xu" || s == "x" || s == "yv" || s == "y")
                values[k] = origin + width * step + (uneven && k == 1 ? 0.3 * width : 0.0);
            else if (s == "zw")
                values[k] = 2.0 * static_cast<double>(k);
            else if (s == "dz")
                values[k] = 2.0;
            else if (s == "dx")
                values[k] = width;
            else if (v.id == box || s == "obstacle_type")
                values[k] = 1 + r.take() % 9;
            else if (s == "obstacle_class")
                values[k] = r.take() % 4;
            else if (s == "obstacles")
                values[k] = r.take() % 5;
            else
                values[k] = r.value();
        }
        nc_put_var_double(id, v.id, values.data());
    }
}

// Writes the file of the recipe to `path`; returns the options and answers of
// the mural run that draws it.
inline RecipeRun write_recipe(Recipe& r, const std::string& path) {
    static const char* const kAnswers[4] = {"V\nK02\n\n\n3\n\n\n\n\n", "F\nJ02\n\n\n\n\n", "K\nK01\n\n\n\n",
                                            "S\nK01\n\n\n\n"};
    const int picture = r.take() % 4;
    RecipeRun run{{"/l:RO"}, kAnswers[picture]};
    if (picture == 2) run.options.push_back("/k");
    static const int kFormats[4] = {NC_NETCDF4, 0, NC_64BIT_OFFSET, NC_NETCDF4 | NC_CLASSIC_MODEL};
    int id = -1;
    if (nc_create(path.c_str(), kFormats[r.take() % 4] | NC_CLOBBER, &id) != NC_NOERR) return run;
    const std::size_t n[3] = {1u + (r.take() + 3u) % 8u, 1u + (r.take() + 2u) % 8u, 1u + (r.take() + 2u) % 8u};
    std::size_t faces[3];
    for (int a = 0; a < 3; ++a) {
        const std::uint8_t e = r.take();
        faces[a] = n[a] + (e < 240 ? 1u : e % 3u);
    }
    const unsigned omit = r.take() | r.take() << 8;
    const int time = r.take() % 3;
    int x, xu, y, yv, z, zw, t = -1;
    nc_def_dim(id, "x", n[0], &x);
    nc_def_dim(id, "xu", faces[0], &xu);
    nc_def_dim(id, "y", n[1], &y);
    nc_def_dim(id, "yv", faces[1], &yv);
    nc_def_dim(id, "z", n[2], &z);
    nc_def_dim(id, "zw", faces[2], &zw);
    if (time > 0) nc_def_dim(id, "time", static_cast<std::size_t>(time), &t);

    std::vector<RecipeVar> vars;
    // The variable's id, or -1 when the recipe leaves it out.
    auto define = [&](unsigned bit, const char* name, nc_type type, std::vector<int> dims) {
        int v = -1;
        if (omit >> bit & 1u) return -1;
        if (nc_def_var(id, name, type, static_cast<int>(dims.size()), dims.data(), &v) != NC_NOERR) return -1;
        std::size_t count = 1;
        for (int d : dims) {
            std::size_t length = 0;
            nc_inq_dimlen(id, d, &length);
            count *= length;
        }
        vars.push_back({v, count});
        return v;
    };
    static const nc_type kTypes[6] = {NC_FLOAT, NC_DOUBLE, NC_SHORT, NC_BYTE, NC_INT, NC_CHAR};
    // The fields: type, shape (sometimes swapped, sometimes behind a time
    // axis), packing and missing values.
    struct Field {
        const char* name;
        std::vector<int> dims;
    };
    const Field fields[7] = {{"u", {z, y, xu}},  {"v", {z, yv, x}},  {"w", {zw, y, x}},       {"KX", {z, y, xu}},
                             {"KY", {z, yv, x}}, {"KZ", {zw, y, x}}, {"obstacles", {z, y, x}}};
    for (int f = 0; f < 7; ++f) {
        std::vector<int> dims = fields[f].dims;
        const nc_type type = f == 6 ? (r.take() % 2 ? NC_INT : NC_BYTE) : kTypes[r.take() % 6];
        if (r.take() % 8 == 7) std::swap(dims[0], dims[2]);
        if (t >= 0) dims.insert(dims.begin(), t);
        const int v = define(static_cast<unsigned>(f < 3 ? f : f == 6 ? 10 : 14), fields[f].name, type, dims);
        const int packing = r.take() % 4;
        if (v >= 0 && (packing & 1)) {
            const double scale = 0.5 + r.take() % 4, offset = r.take16();
            nc_put_att_double(id, v, "scale_factor", NC_DOUBLE, 1, &scale);
            nc_put_att_double(id, v, "add_offset", NC_DOUBLE, 1, &offset);
        }
        if (v >= 0 && (packing & 2)) {
            const double fill = r.take16();
            nc_put_att_double(id, v, "_FillValue", type, 1, &fill);
        }
    }
    // Coordinates, widths and the inflow.
    define(3, "xu", NC_DOUBLE, {xu});
    define(4, "x", NC_DOUBLE, {x});
    define(5, "yv", NC_DOUBLE, {yv});
    define(6, "y", NC_DOUBLE, {y});
    define(7, "zw", NC_DOUBLE, {zw});
    define(8, "dz", NC_FLOAT, {z});
    define(9, "dx", NC_FLOAT, {});
    define(12, "inflow_direction", NC_FLOAT, {});
    define(12, "grid_north_angle", NC_FLOAT, {});
    define(13, "u0", NC_FLOAT, {z});
    // The obstacle list.
    const std::size_t boxes = r.take() % 5;
    int box = -1, limit = -1, obstacle = -1;
    if (!(omit >> 11 & 1u) && boxes > 0) {
        nc_def_dim(id, "obstacle", boxes, &obstacle);
        nc_def_dim(id, "box_limit", 6, &limit);
        box = define(11, "obstacle_box", NC_SHORT, {obstacle, limit});
        define(11, "obstacle_type", NC_SHORT, {obstacle});
        define(11, "obstacle_class", NC_BYTE, {obstacle});
    }
    if (!(omit >> 15 & 1u)) {
        const std::string title = "Fuzz " + std::to_string(r.take());
        nc_put_att_text(id, NC_GLOBAL, "title", title.size(), title.c_str());
        const char* family = r.take() % 2 ? "TRZ" : "QEM";
        nc_put_att_text(id, NC_GLOBAL, "model_family", 3, family);
    }
    nc_enddef(id);

    put_recipe_values(r, id, vars, box);
    nc_close(id);
    return run;
}

}  // namespace fuzz
