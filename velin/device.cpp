// The device layer: initialisation for one device and page format, the level
// state machine of a plot, pens and palettes, style files, pen moves, the end
// of graphs and plots, keyword resets, messages and the work arrays.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>

#include "platform/bytestream.h"
#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/files.h"
#include "platform/freeformat.h"
#include "velin/internal.h"
#include "velin/velin.h"

namespace velin {

namespace {

constexpr char LIBRARY[] = "VELIN";
constexpr char VERSION[] = "3.71";
// Work arrays hold one float per point; more than this is not a plot but a mistake.
constexpr long long MAX_WORK = 20'000'000;

std::map<int, std::ostream*>& units() {
    static std::map<int, std::ostream*> connected;
    return connected;
}

void write_to_unit(int unit, std::string_view text) {
    if (unit != 6) {
        auto it = units().find(unit);
        if (it != units().end() && it->second) {
            *it->second << text << '\n';
            return;
        }
    }
    platform::console().line(text);
}

struct SizeClass {
    float short_side, long_side;
    const char* ps;
};
constexpr SizeClass SIZE_CLASSES[5] = {
    {210.0f, 297.0f, "PS9600,7100"},   {297.0f, 420.0f, "PS14550,10600"}, {420.0f, 594.0f, "PS22450,14550"},
    {594.0f, 840.0f, "PS31400,22450"}, {840.0f, 999.0f, "PS"},
};

// The fifth character of a page format ("DINA4H") selects the row; another one row 5.
const SizeClass& size_class(std::string_view PFORMAT) {
    int n = PFORMAT.size() >= 5 && PFORMAT[4] >= '1' && PFORMAT[4] <= '5' ? PFORMAT[4] - '0' : 5;
    return SIZE_CLASSES[n - 1];
}

std::string trimmed(std::string_view text) {
    auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// One list-directed read: `count` integers from the next lines of the file.
bool read_integers(std::istream& in, std::size_t count, std::vector<long>& values) {
    values.clear();
    std::string line;
    while (values.size() < count) {
        if (!std::getline(in, line)) return false;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::optional<long>> items;
        if (!platform::parse_ints(line, items, count - values.size())) return false;
        for (const auto& item : items) {
            if (!item) return false;
            values.push_back(*item);
        }
    }
    return true;
}

void write_builtin_palette() {
    PlotState& st = plot_state();
    st.NPpal = 8;
    static const int colours[9][3] = {{255, 255, 255}, {0, 0, 0},     {255, 0, 0},   {0, 255, 0},    {255, 255, 0},
                                      {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {125, 125, 125}};
    static const int range[6] = {0, 255, 0, 255, 0, 255};
    detail::emit_NP(16);  // pens 0..8: pen 8 needs more than NP8
    detail::emit_CR(range);
    for (int pen = 0; pen <= 8; ++pen) detail::emit_PC(pen, colours[pen][0], colours[pen][1], colours[pen][2]);
}

// The end of a graph; `to_device` is false when the plot file is already closed.
void end_graph(int IFLAG, bool to_device) {
    PlotState& st = plot_state();
    DrawSettings& s = st.s;
    if (IFLAG > 0)
        detail::message_line(" ## ENDGR-I-Ende Graph #" + detail::fmt_int0(st.Iplot, 2) + " /" +
                             detail::fmt_int(s.Nvec, 8) + " Vektoren geplottet");
    if (IFLAG >= 0) st.Iplot += 1;
    if (s.NptsOut > 0)
        detail::message_line(" ## ENDGR-W-" + detail::fmt_int(s.NptsOut, 4) + " Punkte außerhalb des Plotbereichs !");
    if (to_device && st.hpgl2 && (s.line_style != 0 || !st.dev.line_type.empty())) detail::emit_LT("LT;");
    s.NptsOut = 0;
    s.Nvec = 0;
    s.Nhead = 0;
    s.headings.clear();
    detail::clear_blanking();
    s.line_style = 0;
    s.NGPS = 0;
    s.curve_thickness = 0.0f;
    s.text_angle = 0.0f;
    s.ITrans = 0;
    s.LogX = s.LogY = false;
    s.absolute_numbers = false;
    st.Level = 1;
}

}  // namespace

PlotState& plot_state() {
    static PlotState state;
    return state;
}

void reset() {
    detail::discard_plot_file();
    detail::discard_held_plot_files();
    plot_state() = PlotState{};
    plot_state().pthk.fill(0.05f);
    units().clear();
}

void connect_unit(int unit, std::ostream* stream) {
    if (stream) units()[unit] = stream;
    else units().erase(unit);
}

void write_message(std::string_view TEXT) { write_to_unit(plot_state().message_unit, TEXT); }

namespace detail {

void message_line(std::string_view text) { write_to_unit(plot_state().message_unit, text); }

void fail(std::string_view routine, std::string_view text) {
    std::string msg(routine);
    msg += "-F-";
    msg += text;
    VLERROR(msg);
    throw platform::Fatal(msg);  // not reached: VLERROR stops on "-F-"
}

void ensure_work(int n, std::string_view routine) {
    if (n > static_cast<int>(plot_state().work_x.size())) WRKSIZE(n, routine);
}

}  // namespace detail

void VLERROR(std::string_view MSG) {
    int unit = plot_state().message_unit;
    bool fatal = MSG.find("-F-") != std::string_view::npos;
    // A fatal message reaches standard error through main; a log unit keeps its copy.
    if (fatal) {
        if (unit != 6) write_to_unit(unit, MSG);
        platform::stop(MSG);
    }
    if (unit == 6) {
        std::string line(1, ' ');
        line += MSG;
        write_to_unit(6, line);
    }
    else write_to_unit(unit, MSG);
}

void SETIOC(int IUNIT) {
    if (IUNIT != 6 && units().find(IUNIT) == units().end()) {
        VLERROR("SETIOC-W-Unit " + detail::fmt_int(IUNIT, 6) + " nicht geöffnet, Meldungen weiter auf Unit 6");
        return;
    }
    plot_state().message_unit = IUNIT;
    write_to_unit(IUNIT, "SETIOC-I-log to unit" + detail::fmt_int(IUNIT, 6));
}

void RDEBUG() { plot_state().debug = !plot_state().debug; }

void WRKSIZE(int N, std::string_view NAME) {
    PlotState& st = plot_state();
    long long size = static_cast<long long>(st.work_x.size());
    if (N <= size) return;
    // Points held stay where they are: the arrays grow instead of ending the run.
    if (static_cast<long long>(N) + 10 > MAX_WORK)
        detail::fail(NAME, "WORKSPACE zu klein (" + detail::fmt_int(size, 6) + ") benötigt" + detail::fmt_int(N, 6));
    st.work_x.resize(static_cast<std::size_t>(N) + 10);
    st.work_y.resize(static_cast<std::size_t>(N) + 10);
    VLERROR("WRKSIZE-I-WORKSPACE vergößert!" + detail::fmt_int(N + 10, 8));
}

void INIVAR() {
    PlotState& st = plot_state();
    st.s = DrawSettings{};
}

void INIPLO(std::string_view DEVICE, std::string_view PFORMAT) {
    PlotState& st = plot_state();
    // Starting afresh abandons an unfinished plot.
    detail::discard_plot_file();
    st.Level = 0;
    st.IHPGL = 0;
    if (DEVICE.find('1') != std::string_view::npos) st.IHPGL = 1;
    if (DEVICE.find('2') != std::string_view::npos) st.IHPGL = 2;
    st.hpgl2 = st.IHPGL == 2;
    detail::message_line(std::string(" ## ") + LIBRARY + " V" + VERSION + " l" + std::to_string(st.IHPGL) + " " +
                         std::string(50, '#'));
    st.plt_file = "HPGL.PLT";
    st.plt_base = "HPGL.PLT";
    st.Nfile = 0;
    st.PSCMD = "RO90;IP;IW;";
    st.init_string = std::string("\x1b%-1BBPIN;") + size_class(PFORMAT).ps + ";PW0SP1;";
    st.init_string.resize(std::max<std::size_t>(st.init_string.size(), 32), ' ');
    if (PFORMAT.find_first_of("qQ") != std::string_view::npos) st.PSCMD.clear();
    page_size(PFORMAT, st.page_width, st.page_height);
    st.pthk.fill(0.05f);
    st.NPpal = -1;
    st.colour_setup.clear();
    st.dev = DeviceShadow{};
    detail::emit_init_string();
    st.Level = 1;
    st.initialised = true;
    st.Iplot = 1;
    st.PiFa = std::atan(1.0f) / 45.0f;
    if (st.work_x.empty()) {
        st.work_x.assign(6000, 0.0f);
        st.work_y.assign(6000, 0.0f);
    }
    st.work_used = 0;
    st.debug = false;
    LODSTY("SIMPLX");
    st.ipen = 1;
    st.cur_x = st.cur_y = st.last_x = st.last_y = 0.0f;
    INIVAR();
    st.PGXmax = 840.0f;
    st.PGYmax = 999.9f;
}

void page_size(std::string_view PFORMAT, float& PAGEX, float& PAGEY) {
    const SizeClass& row = size_class(PFORMAT);
    const bool landscape = PFORMAT.find_first_of("qQ") != std::string_view::npos;
    PAGEX = landscape ? row.long_side : row.short_side;
    PAGEY = landscape ? row.short_side : row.long_side;
}

void PAGE(float PAGEX, float PAGEY) {
    constexpr char ROUTINE[] = "PAGE";
    PlotState& st = plot_state();
    if (PAGEX > st.PGXmax && PAGEX <= st.PGYmax) std::swap(st.PGXmax, st.PGYmax);  // the device used turned
    if (PAGEX > st.PGXmax) detail::fail(ROUTINE, "Plotter zu klein, max. DIN A3");
    if (PAGEY > st.PGYmax) detail::fail(ROUTINE, "Plotter zu klein, max. DIN A3");
    st.page_width = PAGEX;
    st.page_height = PAGEY;
}

void PSIZE(float& PAGEX, float& PAGEY) {
    const PlotState& st = plot_state();
    if (st.Level < 1) detail::fail("PSIZE", "Plot nicht initialisiert");
    PAGEX = st.page_width;
    PAGEY = st.page_height;
}

void SETPEN(int IPEN, float PTHK, int IRED, int IGREEN, int IBLUE) {
    constexpr char ROUTINE[] = "SETPEN";
    PlotState& st = plot_state();
    if (IPEN < 0 || IPEN > 255) detail::fail(ROUTINE, "nur Stiftnummern 0 bis 255 erlaubt");
    if (!(PTHK > 0.0f) || !std::isfinite(PTHK)) {
        VLERROR("SETPEN-W-Stiftdicke <= 0, Stift" + detail::fmt_int(IPEN, 4) + " behält seine Dicke");
    } else {
        st.pthk[static_cast<std::size_t>(IPEN)] = PTHK > 10.0f ? 25.4f / PTHK : PTHK;  // > 10: lines per inch
    }
    auto colour = [](int c) { return std::clamp(c, 0, 255); };
    detail::emit_PC(IPEN, colour(IRED), colour(IGREEN), colour(IBLUE));
}

void SELPEN(int IPEN) {
    PlotState& st = plot_state();
    if (IPEN < 0 || IPEN > 255) detail::fail("SELPEN", "Stift nicht vorhanden:" + detail::fmt_int(IPEN, 6));
    if (st.NPpal > 0 && IPEN > st.NPpal)
        VLERROR("SELPEN-W-Stift nicht in Palette definiert:" + detail::fmt_int(IPEN, 6));
    st.ipen = IPEN;
    if (IPEN != st.dev.pen) {
        detail::emit_SP(IPEN);
        if (st.debug) detail::message_line(" SETCLR/SELPEN-I-Stift" + detail::fmt_int(IPEN, 6));
    }
}

std::string palette_path(std::string_view PAL_FILE) {
    std::string file = trimmed(PAL_FILE);
    if (file.empty()) file = "C:\\VELIN\\VELIN.PAL";
    if (lower(file).starts_with("c:\\velin\\")) return platform::velin_file(file);
    if (auto found = platform::find_file(file)) return *found;
    return platform::velin_file(file);
}

void SETPAL(std::string_view PAL_FILE, std::string_view PAL_NAME) {
    PlotState& st = plot_state();
    if (!st.hpgl2) {
        VLERROR("SETPAL-W-Paletten nur im HPGL2-Modus möglich!");
        return;
    }
    if (!PAL_FILE.empty() && PAL_FILE[0] == '*') {
        write_builtin_palette();
        return;
    }
    std::string file = trimmed(PAL_FILE);
    if (file.empty()) file = "C:\\VELIN\\VELIN.PAL";
    std::optional<std::string> text = platform::read_text_file(palette_path(file), "SETPAL");
    if (!text) detail::fail("SETPAL", "Paletten-Datei " + file + " nicht gefunden!");
    std::istringstream in(std::move(*text));

    std::string name = trimmed(PAL_NAME);
    auto not_found = [&] {
        VLERROR("SETPAL-W-Bezeichnung " + name + " nicht in der Palettendatei " + file + " gefunden!");
    };
    std::string line;
    bool found = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 32) line.resize(32);
        if (st.debug) detail::message_line(" SETPAL_" + platform::to_utf8(line));
        // A blank name takes the file's first palette: its first line that is no comment.
        if (name.empty() ? (line.find_first_not_of(' ') != std::string::npos && line[0] != '!')
                         : (line.compare(0, name.size(), name) == 0 && line.size() >= name.size())) {
            found = true;
            break;
        }
    }
    if (!found) return not_found();

    // The whole palette is read and checked before anything reaches the device.
    std::vector<long> values;
    if (!read_integers(in, 1, values) || values[0] < 1) return not_found();
    long count = values[0];
    std::vector<long> range;
    if (!read_integers(in, 6, range)) return not_found();
    std::vector<std::array<int, 4>> pens;
    long highest = 0;
    for (long i = 0; i < count; ++i) {
        if (!read_integers(in, 4, values)) return not_found();
        if (values[0] < 0 || values[0] > 255) return not_found();
        pens.push_back({static_cast<int>(values[0]), static_cast<int>(std::clamp(values[1], -99999L, 999999L)),
                        static_cast<int>(std::clamp(values[2], -99999L, 999999L)),
                        static_cast<int>(std::clamp(values[3], -99999L, 999999L))});
        highest = std::max(highest, values[0]);
    }
    int np = 2;
    while (np <= highest) np *= 2;
    int cr[6];
    for (int i = 0; i < 6; ++i) cr[i] = static_cast<int>(std::clamp(range[static_cast<std::size_t>(i)], -99999L, 999999L));
    detail::emit_NP(np);
    detail::emit_CR(cr);
    for (const auto& p : pens) detail::emit_PC(p[0], p[1], p[2], p[3]);
    st.NPpal = static_cast<int>(count);
}

void LODSTY(std::string_view STYLE) {
    constexpr char ROUTINE[] = "LODSTY";
    PlotState& st = plot_state();
    std::string style = trimmed(STYLE);
    if (style.size() > 14) style.resize(14);
    st.style_sign = style.size() >= 2 && style[1] == 'W' ? 1 : 0;
    std::string path = platform::velin_file("C:\\VELIN\\" + style + ".STY");
    platform::ByteReader in;
    if (!in.open(path)) detail::fail(ROUTINE, "Style-Datei " + path + " nicht gefunden!");
    auto corrupt = [&] { detail::fail(ROUTINE, "Style-Datei " + path + " ist fehlerhaft"); };
    in.set_routine(ROUTINE);
    if (in.size() < 256) corrupt();
    std::vector<std::int16_t> header(128);
    in.read_i16s(header);
    int n = header[102];
    if (n < 1 || in.remaining() < 2ull * static_cast<unsigned>(n)) corrupt();
    // Glyph g runs from header(g) to header(g+1) - 1: the pointers must rise
    // within the data, each glyph holding at least its advance width.
    if (header[0] < 1) corrupt();
    for (int g = 0; g < 102; ++g)
        if (header[static_cast<std::size_t>(g + 1)] <= header[static_cast<std::size_t>(g)]) corrupt();
    std::vector<std::int16_t> data(static_cast<std::size_t>(n));
    in.read_i16s(data);
    st.style_header = std::move(header);
    st.style_data = std::move(data);
    st.style_name = style;
    if (st.debug) VLERROR("LODSTY-I-" + path + " geladen");
}

void SWISS(int IFLAG) {
    LODSTY("SWISSM");
    if (IFLAG != 0) plot_state().style_sign = -plot_state().style_sign;
}

void PENUP(float X, float Y) {
    PlotState& st = plot_state();
    INSXY(X, Y, 0);
    st.cur_x = X;
    st.cur_y = Y;
}

void PENDN(float X, float Y) {
    PlotState& st = plot_state();
    st.last_x = st.cur_x;
    st.last_y = st.cur_y;
    float x = X, y = Y;
    if (ICLIPR(x, y) != 0) {
        st.cur_x = X;
        st.cur_y = Y;
        return;
    }
    if (st.s.blanking_areas > 0) RRINBL(x, y);
    else CONNPT(x, y);
}

void GETCCP(float& X, float& Y) {
    X = plot_state().cur_x;
    Y = plot_state().cur_y;
}

void PTSOUT(float X, float Y) {
    DrawSettings& s = plot_state().s;
    s.NptsOut += 1;
    if (s.NptsOut <= 5)
        detail::message_line(" ## Punkt außerhalb des Plotbereichs=" + detail::fmt_fixed(X, 13, 4) +
                             detail::fmt_fixed(Y, 13, 4));
}

void GRACE(float G) {
    PlotState& st = plot_state();
    if (st.Level < 2) detail::fail("GRACE", "von falschem Level aufgerufen");
    DrawSettings& s = st.s;
    s.clip_cx = 0.5f * s.axis_x;
    s.clip_cy = 0.5f * s.axis_y;
    s.clip_hx = 0.5f * s.axis_x + G;
    s.clip_hy = 0.5f * s.axis_y + G;
    s.checking = true;
}

void NOCHEK() { plot_state().s.checking = false; }

void ENDGR(int IFLAG) {
    // Without an open plot there is no graph to end.
    if (plot_state().Level == 0) return;
    end_graph(IFLAG, true);
}

void ENDPL(int IFLAG) {
    PlotState& st = plot_state();
    // The driver calls ENDPL before any plot has begun.
    if (st.Level == 0) return;
    detail::emit_SP0PG();
    detail::flush_buffer();
    if (st.dev.fclose) FOPEN();  // a stream that ended exactly on a record boundary
    detail::close_plot_file();
    VLERROR("## ENDPL-I-Plotdatei geschlossen: " + st.plt_file);
    if (st.Level > 1) end_graph(IFLAG, false);
    st.Level = 0;
    if (IFLAG > 0)
        detail::message_line(" ## ENDPL-I-Plot Nr." + detail::fmt_int(st.Iplot - 1, 3) + " beendet");
}

void DONEPL() {
    PlotState& st = plot_state();
    if (st.Level >= 1) ENDPL(-1);
    st.Level = 0;
    detail::message_line(std::string(" ## ") + LIBRARY + " beendet <" + std::string(50, '#'));
}

void RESET(std::string_view NAME) {
    PlotState& st = plot_state();
    DrawSettings& s = st.s;
    std::string name = lower(trimmed(NAME));
    if (st.debug) VLERROR("RESET-I-" + name);
    std::string key = name.substr(0, 3);
    if (key == "all") {
        detail::emit_DF();
        INIVAR();
    } else if (key == "dot" || key == "das" || key == "chn" || key == "mrs") {
        s.line_style = 0;
        s.NGPS = 0;
        if (st.hpgl2) detail::emit_LT("LT");
    } else if (key == "thk") {
        s.curve_thickness = 0.0f;  // 0 stands for the current pen's own thickness
        if (st.hpgl2) detail::emit_PW(0.0f);
    } else if (key == "ita") {
        s.slant = 0.0f;
    } else if (key == "swi") {
        LODSTY("SIMPLX");
    } else if (key == "int") {
        s.xaxis.integer_numbers = s.yaxis.integer_numbers = false;
    } else if (key == "xno") {
        s.xaxis.no_numbers = false;
    } else if (key == "yno") {
        s.yaxis.no_numbers = false;
    } else if (key == "xre") {
        s.xaxis.reversed_ticks = false;
    } else if (key == "yre") {
        s.yaxis.reversed_ticks = false;
    } else if (key == "xax" || key == "yax") {
        AxisSettings& a = key[0] == 'x' ? s.xaxis : s.yaxis;
        if (name.size() >= 4 && name[3] == 'e') a.no_first = a.no_last = false;
        else a.centred = false;
    } else if (key == "cro") {
        s.cross = false;
    } else if (key == "blr" || key == "blc") {
        // A line that goes on from here must start where the caller believes
        // the pen is, not where the last visible piece ended.
        if (st.blank.pen_up_pending) INSXY(st.cur_x, st.cur_y, 0);
        detail::clear_blanking();
    } else if (key == "noc") {
        s.checking = true;
    } else {
        VLERROR("RESET-W-ungültiger Name " + std::string(NAME));
    }
}

}  // namespace velin
