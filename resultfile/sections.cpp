#include "resultfile/sections.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "platform/console.h"
#include "resultfile/fields.h"
#include "resultfile/model.h"

namespace resultfile {

namespace {

struct SectionRun {
    std::unique_ptr<FieldSource> source;
    std::array<platform::Field3D<float>*, 3> fields{};
};

// Never destroyed: a source may hold a file of a library that is finished
// before static objects are.
SectionRun& section_run() {
    static SectionRun* run = new SectionRun;
    return *run;
}

// The extents of the three fields: on the x, y and z faces.
std::array<std::array<int, 3>, 3> face_extents() {
    const Grid& g = grid();
    return {{{g.NX + 1, g.NY, g.NZ}, {g.NX, g.NY + 1, g.NZ}, {g.NX, g.NY, g.NZ + 1}}};
}

void attach(std::unique_ptr<FieldSource> source, bool coefficients) {
    close_sections();
    ModelFields& m = model_fields();
    SectionRun& run = section_run();
    run.fields = coefficients ? std::array{&m.KX, &m.KY, &m.KZ} : std::array{&m.U, &m.V, &m.W};
    for (platform::Field3D<float>* f : run.fields) f->clear();
    run.source = std::move(source);
}

std::string range(const char* one, const char* many, int first, int last) {
    if (first == last) return std::string(one) + std::to_string(first);
    return std::string(many) + std::to_string(first) + " bis " + std::to_string(last);
}

// The cells read, as the console names them; empty for the whole grid.
std::string described(const platform::IndexBox& cells) {
    const Grid& g = grid();
    std::string text;
    auto add = [&](const std::string& part) { text += (text.empty() ? ": " : ", ") + part; };
    if (cells.k0 > 1 || cells.k1 < g.NZ) add(range("Schicht ", "Schichten ", cells.k0, cells.k1));
    if (cells.j0 > 1 || cells.j1 < g.NY) add(range("Zeile J=", "J ", cells.j0, cells.j1));
    if (cells.i0 > 1 || cells.i1 < g.NX) add(range("Spalte I=", "I ", cells.i0, cells.i1));
    return text;
}

}  // namespace

void read_by_section(std::unique_ptr<FieldSource> source, bool coefficients) {
    const FieldSource& s = *source;
    attach(std::move(source), coefficients);
    platform::console().line(std::string(" ") + s.routine() + "-I-" + s.name(0) + ", " + s.name(1) + ", " + s.name(2) +
                             " werden schnittweise gelesen, wie die Bilder sie brauchen");
}

void read_whole(std::unique_ptr<FieldSource> source, bool coefficients) {
    attach(std::move(source), coefficients);
    const Grid& g = grid();
    read_section({1, g.NX, 1, g.NY, 1, g.NZ});
    close_sections();
}

void read_section(const platform::IndexBox& cells, unsigned fields) {
    SectionRun& run = section_run();
    if (!run.source) return;
    const auto extents = face_extents();
    auto& con = platform::console();
    for (int c = 0; c < 3; ++c) {
        platform::Field3D<float>& F = *run.fields[static_cast<std::size_t>(c)];
        const auto [n1, n2, n3] = extents[static_cast<std::size_t>(c)];
        platform::IndexBox box = cells;
        if (c == 0) ++box.i1;
        if (c == 1) ++box.j1;
        if (c == 2) ++box.k1;
        box.i0 = std::max(box.i0, 1), box.i1 = std::min(box.i1, n1);
        box.j0 = std::max(box.j0, 1), box.j1 = std::min(box.j1, n2);
        box.k0 = std::max(box.k0, 1), box.k1 = std::min(box.k1, n3);
        if (!(fields & (1u << c)) || box.empty()) box = {};
        if (F.n1() == n1 && F.n2() == n2 && F.n3() == n3 && F.box() == box) continue;
        F.resize_box(n1, n2, n3, box);
        if (F.empty()) continue;
        const platform::IndexBox& held = F.box();
        run.source->read(c, held, F.span());
        check_finite(run.source->routine(), run.source->name(c), F.span(), held.i1 - held.i0 + 1,
                     held.j1 - held.j0 + 1, held.k0, held.i0, held.j0);
        con.line(" " + run.source->name(c) + "-Feld eingelesen" + described(cells));
    }
}

void read_field_levels(int first, int last) {
    const Grid& g = grid();
    read_section({1, g.NX, 1, g.NY, first, last});
}

void close_sections() { section_run().source.reset(); }

}  // namespace resultfile
