// The HP-GL writer: a 512-byte buffer written in whole records, pen-up moves
// deferred until the next pen-down (only the last of a run of moves reaches
// the file), and a polyline as one PD instruction with a growing coordinate
// list. The stream holds no blanks and no line breaks.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "platform/files.h"
#include "velin/internal.h"
#include "velin/velin.h"

namespace velin {

namespace {

// A plot file being written, and what the run keeps of it.
struct PlotOutput {
    std::unique_ptr<platform::OutputFile> file = std::make_unique<platform::OutputFile>();
    std::string stream;         // a copy of its bytes, when kept
    bool stream_whole = true;   // the copy holds every byte
};

struct PlotOutputs {
    PlotOutput current;
    std::vector<PlotOutput> held;  // finished, waiting for their final names
    bool hold = false;
    std::size_t keep_bytes = 0;  // largest copy of a stream kept; 0 keeps none
    std::function<void(const std::string&)> check_numbered;
};

PlotOutputs& outputs() {
    static PlotOutputs instance;
    return instance;
}

platform::OutputFile& plot_file() { return *outputs().current.file; }

// The cause of a failed plot file in the words of the system.
std::string plot_file_failure(const std::string& name, int error) {
    return "Plotdatei " + name + " konnte nicht geschrieben werden: " + platform::describe_error(error);
}

bool write_plot_bytes(std::string_view bytes) {
    PlotOutputs& o = outputs();
    PlotOutput& p = o.current;
    if (o.keep_bytes > 0 && p.stream_whole) {
        if (p.stream.size() + bytes.size() <= o.keep_bytes) {
            p.stream.append(bytes);
        } else {
            p.stream_whole = false;
            std::string().swap(p.stream);
        }
    }
    return p.file->write(bytes);
}

// Plotter units fit six columns.
constexpr double MIN_UNITS = -99999.0, MAX_UNITS = 999999.0;

int to_plotter_units(float mm, int offset) {
    float units = MM_TO_PLOTTER * mm;
    if (std::fabs(units) < 1.0e6f) {
        // The common case: truncation toward zero is the conversion itself.
        int v = static_cast<int>(units) + offset;
        if (v >= MIN_UNITS && v <= MAX_UNITS) return v;
    }
    double v = std::trunc(static_cast<double>(units));
    if (std::isnan(v)) v = 0.0;
    v += offset;
    if (v < MIN_UNITS) v = MIN_UNITS;
    if (v > MAX_UNITS) v = MAX_UNITS;
    return static_cast<int>(v);
}

void append_int(char*& p, int v) { p = std::to_chars(p, p + 12, v).ptr; }

// Writes the pending pen-up move as "PUx,y;".
void write_pending_move(DeviceShadow& d) {
    if (!d.move_pending) return;
    char text[32];
    char* p = text;
    *p++ = 'P';
    *p++ = 'U';
    append_int(p, d.pending_x);
    *p++ = ',';
    append_int(p, d.pending_y);
    *p++ = ';';
    d.move_pending = false;
    detail::put_bytes({text, static_cast<std::size_t>(p - text)});
}

}  // namespace

namespace detail {

void write_record_if_full() {
    DeviceShadow& d = plot_state().dev;
    if (d.NB <= 512) return;
    if (d.fclose) FOPEN();
    if (!write_plot_bytes({d.bu.data(), 512}))
        fail("FOPEN", plot_file_failure(plot_state().plt_file, plot_file().error()));
    d.Irec += 1;
    d.NB = 1;
}

void put_bytes(std::string_view bytes) {
    DeviceShadow& d = plot_state().dev;
    while (!bytes.empty()) {
        std::size_t room = static_cast<std::size_t>(513 - d.NB);
        std::size_t n = bytes.size() < room ? bytes.size() : room;
        std::memcpy(d.bu.data() + (d.NB - 1), bytes.data(), n);
        d.NB += static_cast<int>(n);
        bytes.remove_prefix(n);
        if (d.NB > 512) write_record_if_full();
    }
}

void raw_instruction(std::string_view text) {
    DeviceShadow& d = plot_state().dev;
    write_pending_move(d);
    d.pen_down = false;  // the next pen-down starts a new PD list
    put_bytes(text);
}

void reset_device_shadow(int pen) {
    DeviceShadow& d = plot_state().dev;
    d.pen = pen;
    d.width = 0.0f;
    d.line_type.clear();
    d.pen_down = false;
    d.move_pending = false;
}

void emit_init_string() {
    INSBU(plot_state().init_string);
    reset_device_shadow(1);
}

void emit_SP(int pen) {
    raw_instruction("SP" + std::to_string(pen) + ";");
    plot_state().dev.pen = pen;
}

void emit_PW(float width) {
    if (width == 0.0f) {
        raw_instruction("PW0");
    } else {
        char text[40];
        std::snprintf(text, sizeof text, "PW%.2f", static_cast<double>(width));
        raw_instruction(text);
    }
    plot_state().dev.width = width;
}

void emit_LT(std::string_view instruction) {
    raw_instruction(instruction);
    plot_state().dev.line_type = instruction == "LT;" || instruction == "LT" ? std::string() : std::string(instruction);
}

void emit_PC(int pen, int r, int g, int b) {
    std::string text = "PC" + std::to_string(pen) + "," + std::to_string(r) + "," + std::to_string(g) + "," +
                       std::to_string(b);
    raw_instruction(text);
    plot_state().colour_setup += text;
}

void emit_NP(int n) {
    std::string text = "NP" + std::to_string(n);
    raw_instruction(text);
    plot_state().colour_setup = text;  // a new palette replaces all colours before it
}

void emit_CR(const int range[6]) {
    std::string text = "CR";
    for (int i = 0; i < 6; ++i) {
        if (i > 0) text += ',';
        text += std::to_string(range[i]);
    }
    raw_instruction(text);
    plot_state().colour_setup += text;
}

void emit_IP(int p1x, int p1y, int p2x, int p2y) {
    raw_instruction("IP" + std::to_string(p1x) + "," + std::to_string(p1y) + "," + std::to_string(p2x) + "," +
                    std::to_string(p2y) + ";");
}

void emit_CI(int radius) { raw_instruction("CI" + std::to_string(radius)); }

void emit_FT(int type, int spacing, int angle) {
    raw_instruction("FT" + std::to_string(type) + "," + std::to_string(spacing) + "," + std::to_string(angle));
}

void emit_PM(int mode) { raw_instruction("PM" + std::to_string(mode)); }
void emit_FP() { raw_instruction("FP"); }
void emit_EP() { raw_instruction("EP"); }
void emit_FT() { raw_instruction("FT"); }

void emit_PU(int ix, int iy) { raw_instruction("PU" + std::to_string(ix) + "," + std::to_string(iy)); }

void emit_PD(std::span<const int> xy) {
    if (xy.size() < 2) return;
    std::string text = "PD";
    for (std::size_t i = 0; i + 1 < xy.size(); i += 2) {
        if (i > 0) text += ',';
        text += std::to_string(xy[i]);
        text += ',';
        text += std::to_string(xy[i + 1]);
    }
    raw_instruction(text);
}

void emit_DF() {
    raw_instruction("DF;");
    plot_state().dev.line_type.clear();
}

void emit_SP0PG() {
    raw_instruction("SP0PG;");
    reset_device_shadow(0);
}

void flush_buffer() {
    DeviceShadow& d = plot_state().dev;
    if (d.NB <= 1) return;
    if (d.fclose) FOPEN();
    if (!write_plot_bytes({d.bu.data(), static_cast<std::size_t>(d.NB - 1)}))
        fail("ENDPL", plot_file_failure(plot_state().plt_file, plot_file().error()));
    d.Irec += 1;
    d.NB = 1;
}

void close_plot_file() {
    DeviceShadow& d = plot_state().dev;
    PlotOutputs& o = outputs();
    if (!d.fclose) {
        const bool ok = o.hold ? plot_file().finish() : plot_file().commit();
        if (!ok) {
            const int error = plot_file().error();
            plot_file().discard();
            o.current = PlotOutput();
            fail("ENDPL", plot_file_failure(plot_state().plt_file, error));
        }
        if (o.hold) o.held.push_back(std::move(o.current));
        o.current = PlotOutput();
    }
    d.fclose = true;
    d.Irec = 1;
}

void discard_plot_file() {
    plot_file().discard();
    outputs().current = PlotOutput();
    plot_state().dev.fclose = true;
}

void discard_held_plot_files() {
    PlotOutputs& o = outputs();
    for (PlotOutput& p : o.held) p.file->discard();
    o.held.clear();
    o.hold = false;
    o.keep_bytes = 0;
    o.check_numbered = nullptr;
}

}  // namespace detail

void hold_plot_files(bool hold, std::size_t keep_stream_bytes,
                     std::function<void(const std::string&)> check_numbered) {
    // Files held before (of a run that stopped) are dropped.
    detail::discard_held_plot_files();
    PlotOutputs& o = outputs();
    o.hold = hold;
    o.keep_bytes = keep_stream_bytes;
    o.check_numbered = std::move(check_numbered);
}

std::vector<FinishedPlot> finished_plots() {
    std::vector<FinishedPlot> plots;
    for (const PlotOutput& p : outputs().held)
        plots.push_back({p.file->final_path(), p.stream, p.stream_whole && outputs().keep_bytes > 0});
    return plots;
}

void commit_plot_files() {
    PlotOutputs& o = outputs();
    std::vector<PlotOutput> held = std::move(o.held);
    o.held.clear();
    for (PlotOutput& p : held) {
        if (!p.file->commit()) {
            const int error = p.file->error();
            for (PlotOutput& rest : held) rest.file->discard();
            detail::fail("ENDPL", plot_file_failure(p.file->final_path(), error));
        }
    }
}

void MM2ABS(float X, float Y, int& IX, int& IY) {
    const PlotState& st = plot_state();
    IX = to_plotter_units(X, st.IXorg);
    IY = to_plotter_units(Y, st.IYorg);
}

void INSBU(std::string_view TEXT) {
    auto last = TEXT.find_last_not_of(' ');
    if (last == std::string_view::npos) TEXT = {};
    else TEXT = TEXT.substr(0, last + 1);
    DeviceShadow& d = plot_state().dev;
    write_pending_move(d);
    d.pen_down = false;
    std::size_t start = 0;
    while (start < TEXT.size()) {
        auto blank = TEXT.find(' ', start);
        if (blank == std::string_view::npos) blank = TEXT.size();
        detail::put_bytes(TEXT.substr(start, blank - start));
        start = blank + 1;
    }
}

void INSXY(float X, float Y, int IPEN) {
    // A point that is not a number has no place on the page.
    if (!std::isfinite(X) || !std::isfinite(Y)) return;
    PlotState& st = plot_state();
    DeviceShadow& d = st.dev;
    int ix, iy;
    MM2ABS(X, Y, ix, iy);
    if (IPEN == 0) {
        d.move_pending = true;
        d.pending_x = ix;
        d.pending_y = iy;
        d.pen_down = false;
        return;
    }
    char text[48];
    char* p = text;
    if (d.pen_down) {
        *p++ = ',';
    } else {
        write_pending_move(d);
        *p++ = 'P';
        *p++ = 'D';
        d.pen_down = true;
    }
    append_int(p, ix);
    *p++ = ',';
    append_int(p, iy);
    st.s.Nvec += 1;
    // The common case stays inside the buffer without a second call.
    auto n = static_cast<std::size_t>(p - text);
    if (static_cast<std::size_t>(513 - d.NB) > n) {
        std::memcpy(d.bu.data() + (d.NB - 1), text, n);
        d.NB += static_cast<int>(n);
    } else {
        detail::put_bytes({text, n});
    }
}

void PLFILE(std::string_view NAME) {
    auto last = NAME.find_last_not_of(' ');
    std::string name(last == std::string_view::npos ? std::string_view() : NAME.substr(0, last + 1));
    auto first = name.find_first_not_of(' ');
    name = first == std::string::npos ? std::string() : name.substr(first);
    if (name.empty()) return;
    PlotState& st = plot_state();
    st.plt_file = name;
    st.plt_base = name;
}

void FOPEN() {
    PlotState& st = plot_state();
    if (!st.dev.fclose || plot_file().is_open()) detail::fail("VELIN", "OPEN, Unit 99 bereits verwendet!");
    if (st.Nfile > 0) {
        // The character before the first "." of the file-name part (or the
        // last character when there is none) and all after it give way to the
        // number; the directory part is never touched.
        const std::string& base = st.plt_base;
        std::size_t name_start = base.size() - platform::file_name_part(base).size();
        std::size_t dot = base.find('.', name_start);
        std::size_t p = dot == std::string::npos ? base.size() : dot + 1;  // 1-based
        std::size_t keep = p >= name_start + 2 ? p - 2 : name_start;
        char number[8];
        std::snprintf(number, sizeof number, "%03d", st.Nfile % 1000);
        st.plt_file = base.substr(0, keep) + "_" + number + ".plt";
        VLERROR("FOPEN-I-neue Plotdatei: " + st.plt_file);
        if (outputs().check_numbered) outputs().check_numbered(st.plt_file);
    }
    st.Nfile += 1;
    if (!plot_file().open(st.plt_file))
        detail::fail("FOPEN", "Plotdatei " + st.plt_file + " kann nicht angelegt werden: " +
                                  platform::describe_error(plot_file().error()));
    st.dev.fclose = false;
}

}  // namespace velin
