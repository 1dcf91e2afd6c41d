// Scalar-field sections: the definition files of isolines and colour rasters,
// and the vertical resampling of a vertical section.
//
// Both definition files are small texts made of sections; a section starts at
// the first line whose first word is the key of the quantity ("F", "W", ...,
// or "G:V" for the vertical sections of "G"), and everything before it
// (comments beginning with "!", other keys) is passed over. The key is a word
// of its own: a line "Grenze Stift Text" does not start the section "G".
//
// Isoline value file: after the key line, one isoline per line, either five
// numbers (value, thickness, mode, labels, pen) or, when the first line does
// not hold five, four (the pen keeps its value). The list ends at the first
// line that does not hold the numbers.
//
// Raster definition file: after the key line, up to five title lines in
// apostrophes, one further line (a column heading, not used), then one class
// per line: upper limit, pen, 'text'. The list ends at "---", at a line with
// limit 0 and a negative pen, at a line that cannot be read, or at the end of
// the file.
//
// Vertical resampling: the values of a vertical section belong to the centres
// of layers of varying thickness; the isoline tracer wants equidistant rows.
// New rows at the centres of layers of thickness DZI are interpolated linearly
// between the two neighbouring layer centres; below the first centre the first
// row, above the last centre the last row is copied.
#include "contour/scalar_field.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/files.h"
#include "platform/freeformat.h"
#include "platform/text.h"

namespace contour {

namespace {

using platform::fixed;
using platform::integer;

// A line of the raster definition file holds at most this many characters.
constexpr std::size_t kRasterLineLength = 64;
// The first line of an isoline list is read as a text of this many characters.
constexpr std::size_t kFirstValueLineLength = 32;
// The thickest isoline of the value file, in units of 0.08 mm: 2 mm.
constexpr int kMaxThickness = 25;

std::size_t at(int index) { return static_cast<std::size_t>(index - 1); }

// The lines of a text file, without line ends and without a UTF-8
// byte-order mark at the start.
std::vector<std::string> text_lines(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r')) line.remove_suffix(1);
        lines.emplace_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// The key of a quantity as the files name it; a blank when there is none
// (as an empty line of a file reads).
std::string key_of(std::string_view WAS) {
    const std::string key = platform::trimmed(WAS);
    return key.empty() ? std::string(" ") : key;
}

// The first word of a line: from its first character up to a blank.
std::string_view first_word(std::string_view line) {
    if (line.empty()) return " ";
    return line.substr(0, std::min(line.find_first_of(" \t"), line.size()));
}

// The vertical-section suffix of a key.
constexpr std::string_view kVertical = ":V";

std::optional<std::size_t> find_key_line(const std::vector<std::string>& lines, std::string_view key) {
    for (std::size_t l = 0; l < lines.size(); ++l)
        if (first_word(lines[l]) == key) return l;
    return std::nullopt;
}

// The index of the line that starts the section of `key`, if any. A key of a
// vertical section ("G:V") falls back to the letter's own section; `plain`
// then names that key.
std::optional<std::size_t> find_section(const std::vector<std::string>& lines, const std::string& key,
                                        std::string& plain) {
    plain.clear();
    if (auto l = find_key_line(lines, key)) return l;
    if (!key.ends_with(kVertical)) return std::nullopt;
    const std::string letter = key.substr(0, key.size() - kVertical.size());
    auto l = find_key_line(lines, letter);
    if (l) plain = letter;
    return l;
}

// The deviations "G" and "C" are per cent in level sections and m/s in
// vertical ones: classes or values of the level sections do not fit.
void note_fallback(std::string_view routine, const std::string& key, const std::string& plain) {
    if (plain != "G" && plain != "C") return;
    std::string line = " ";
    line += routine;
    line += "-W-keine Kennung #" + key + "# für Vertikalschnitte (Werte in m/s); es gelten die Werte der Kennung #" +
            plain + "# (in % der Anströmung)";
    platform::console().line(line);
}

// A whole number that an int holds.
std::optional<int> whole_number(double value) {
    if (value != std::trunc(value) || std::fabs(value) > 2147483647.0) return std::nullopt;
    return static_cast<int>(value);
}

// A text of at most kRasterTextLength characters: counted as characters in a
// UTF-8 text, as bytes in a code-page text.
std::string cut_text(std::string text) {
    if (text.size() <= kRasterTextLength) return text;
    if (!platform::is_valid_utf8(text)) {
        text.resize(kRasterTextLength);
        return text;
    }
    std::size_t characters = 0;
    for (std::size_t b = 0; b < text.size(); ++b) {
        if ((static_cast<unsigned char>(text[b]) & 0xC0) == 0x80) continue;
        if (characters == kRasterTextLength) {
            text.resize(b);
            break;
        }
        ++characters;
    }
    return text;
}

// The free-format text that starts with the quote at the start of `item` (an
// apostrophe or a double quote); a doubled quote inside stands for one.
// Nothing when the text is not closed on the line.
std::optional<std::string> quoted_text(std::string_view item) {
    if (item.empty() || (item[0] != '\'' && item[0] != '"')) return std::nullopt;
    const char quote = item[0];
    std::string text;
    for (std::size_t i = 1; i < item.size(); ++i) {
        if (item[i] != quote) {
            text += item[i];
        } else if (i + 1 < item.size() && item[i + 1] == quote) {
            text += quote;
            ++i;
        } else {
            return text;
        }
    }
    return std::nullopt;
}

// One line of the isoline list: the value, then `items` - 1 whole numbers
// (thickness, mode, labels, pen). False unless the line holds all of them.
struct IsolineLine {
    float value = 0.0f;
    int numbers[4] = {};
};

bool read_isoline(std::string_view line, int items, IsolineLine& out) {
    std::vector<std::optional<double>> values;
    if (!platform::parse_reals(line, values, static_cast<std::size_t>(items)) ||
        values.size() != static_cast<std::size_t>(items))
        return false;
    if (!std::all_of(values.begin(), values.end(), [](const auto& v) { return v.has_value(); })) return false;
    const double value = *values[0];
    if (std::fabs(value) > 3.4e38) return false;
    out.value = static_cast<float>(value);
    for (int k = 1; k < items; ++k) {
        const auto number = whole_number(*values[static_cast<std::size_t>(k)]);
        if (!number) return false;
        out.numbers[k - 1] = *number;
    }
    return true;
}

// One class line of the raster definition file: limit, pen, 'text'.
struct RasterClassLine {
    float limit = 0.0f;
    int pen = 0;
    std::string text;
};

bool read_raster_class(std::string_view line, RasterClassLine& out) {
    const std::size_t quote = line.find_first_of("'\"");
    if (quote == std::string_view::npos) return false;
    std::vector<std::optional<double>> values;
    if (!platform::parse_reals(line.substr(0, quote), values) || values.size() != 2 || !values[0] || !values[1])
        return false;
    if (std::fabs(*values[0]) > 3.4e38) return false;
    const auto pen = whole_number(*values[1]);
    auto text = quoted_text(line.substr(quote));
    if (!pen || !text) return false;
    out.limit = static_cast<float>(*values[0]);
    out.pen = *pen;
    out.text = cut_text(std::move(*text));
    return true;
}

// A title line: the text in apostrophes; an unclosed one runs to the end of the line.
std::string title_text(std::string_view line) {
    if (auto text = quoted_text(line)) return cut_text(std::move(*text));
    return cut_text(platform::trimmed(line.substr(1)));
}

void read_raster_file(const std::string& name, const std::string& key, std::span<int> IPEN, std::span<float> WISO,
                      std::span<std::string> LBEZ, int& NISO, std::span<std::string> LTIT, int& NTIT) {
    constexpr char ROUTINE[] = "GERADA";
    auto& con = platform::console();
    const auto path = platform::find_file(name);
    std::optional<std::string> text;
    if (path) text = platform::read_text_file(*path, ROUTINE);
    if (!text) platform::stop("! GERADA-F-Rasterdefinitionsdatei " + name + " nicht gefunden");

    std::vector<std::string> lines = text_lines(*text);
    for (std::string& line : lines)
        if (line.size() > kRasterLineLength) line.resize(kRasterLineLength);
    std::string plain;
    const auto section = find_section(lines, key, plain);
    if (!section) {
        const std::string shown = key.ends_with(kVertical) ? key.substr(0, key.size() - kVertical.size()) : key;
        platform::stop(" GERADA-F-Kennung #" + shown + "# nicht gefunden!");
    }
    note_fallback(ROUTINE, key, plain);
    const std::string& found = plain.empty() ? key : plain;

    std::size_t l = *section + 1;
    int titles = 0;
    for (; l < lines.size() && lines[l].starts_with('\''); ++l) {
        platform::fatal_if(titles == kMaxRasterTitles, ROUTINE, "max 5 Titelzeilen");
        LTIT[static_cast<std::size_t>(titles++)] = title_text(lines[l]);
    }
    ++l;  // the line after the titles only ends them

    int classes = 0;
    for (; l < lines.size(); ++l) {
        if (lines[l].starts_with("---")) break;
        RasterClassLine c;
        if (!read_raster_class(lines[l], c)) break;
        if (c.limit == 0.0f && c.pen < 0) break;
        if (classes == kMaxRasterClasses)
            platform::stop(" GERADA-F-Abbruch-maximal" + integer(kMaxRasterClasses, 3) + " Farben + weiß verwendbar");
        const auto k = static_cast<std::size_t>(classes++);
        // A class is the values above the limit before it: the limits must
        // ascend, or a value would belong to two classes and the legend lie.
        if (k > 0 && !(c.limit > WISO[k - 1]))
            platform::fatal(ROUTINE, "Klassengrenzen unter der Kennung #" + found + "# nicht aufsteigend: Klasse " +
                                         std::to_string(classes) + " bis " + fixed(c.limit, 0, 3) +
                                         " nach Klasse " + std::to_string(classes - 1) + " bis " +
                                         fixed(WISO[k - 1], 0, 3) + " in " + *path);
        WISO[k] = c.limit;
        IPEN[k] = c.pen;
        LBEZ[k] = std::move(c.text);
        con.line(integer(classes, 4) + fixed(WISO[k], 12, 3) + integer(IPEN[k], 5) + "  " + platform::to_utf8(LBEZ[k]));
    }
    // Without a class the raster would have no colour to give a value.
    platform::fatal_if(classes == 0, ROUTINE, "keine Farbklasse unter der Kennung #" + found + "# in " + *path);
    NTIT = titles;
    NISO = classes;
}

}  // namespace

IsolineValues& isoline_values() {
    static IsolineValues values;
    return values;
}

void reset_isoline_values() { isoline_values() = IsolineValues(); }

RasterClasses& raster_classes() {
    static RasterClasses classes;
    return classes;
}

void reset_raster_classes() { raster_classes() = RasterClasses(); }

std::string section_key(char letter, int IS) {
    std::string key(1, letter);
    if (IS == 1 || IS == 2) key += kVertical;
    return key;
}

void GETIVAL(std::string_view FILE, std::string_view WAS) {
    constexpr char ROUTINE[] = "GETIVAL";
    auto& con = platform::console();
    const std::string key = key_of(WAS);
    con.line(" - GETIVAL - " + std::string(FILE) + " " + key);
    IsolineValues& v = isoline_values();
    if (v.file_read && v.key == key) return;
    v.file_read = true;
    v.key = key;
    v.NWISO = -1;

    const auto path = platform::find_file(std::string(FILE));
    std::optional<std::string> text;
    if (path) text = platform::read_text_file(*path, ROUTINE);
    if (!text) {
        con.line("! GETIVAL-W-Kennung nicht gefunden");
        return;
    }
    con.line("! -- Isolinienwerte aus der Datei " + *path);
    v.NWISO = 0;
    const std::vector<std::string> lines = text_lines(*text);
    std::string plain;
    const auto section = find_section(lines, key, plain);
    if (!section) return;
    note_fallback(ROUTINE, key, plain);

    // The first line decides between lists of five and of four numbers.
    const std::size_t first = *section + 1;
    IsolineLine line;
    const bool five = first < lines.size() &&
                      read_isoline(std::string_view(lines[first]).substr(0, kFirstValueLineLength), 5, line);
    const int items = five ? 5 : 4;
    for (std::size_t l = first; l < lines.size(); ++l) {
        std::string_view text_line = lines[l];
        if (five && l == first) text_line = text_line.substr(0, kFirstValueLineLength);
        if (!read_isoline(text_line, items, line)) break;
        platform::fatal_if(v.NWISO == kMaxFileValues, ROUTINE, "max. 40 Isolinienwerte");
        const auto n = static_cast<std::size_t>(v.NWISO++);
        v.WISO[n] = line.value;
        // A line many millimetres wide would blacken the page.
        if (line.numbers[0] > kMaxThickness) {
            con.line(" GETIVAL-W-Dicke " + std::to_string(line.numbers[0]) + " der Isolinie " +
                     fixed(line.value, 0, 3) + " zu groß, auf" + integer(kMaxThickness, 3) +
                     " begrenzt");
            line.numbers[0] = kMaxThickness;
        }
        v.ITHIK[n] = line.numbers[0];
        v.MODE[n] = line.numbers[1];
        v.LABEL[n] = line.numbers[2];
        if (five) v.ICOL[n] = line.numbers[3];
        con.line(integer(v.NWISO, 4) + fixed(v.WISO[n], 12, 3) + integer(v.ITHIK[n], 4) + integer(v.MODE[n], 4) +
                 integer(v.LABEL[n], 4) + integer(v.ICOL[n], 4));
    }
}

void GERADA(std::string_view RAS_FILE, std::string_view WAS, std::span<int> IPEN, std::span<float> WISO,
            std::span<std::string> LBEZ, int& NISO, std::span<std::string> LTIT, int& NTIT) {
    constexpr char ROUTINE[] = "GERADA";
    const auto classes = static_cast<std::size_t>(kMaxRasterClasses);
    platform::fatal_if(IPEN.size() < classes || WISO.size() < classes || LBEZ.size() < classes ||
                           LTIT.size() < static_cast<std::size_t>(kMaxRasterTitles),
                       ROUTINE, "Listen für Klassen oder Titel zu kurz");
    auto& con = platform::console();
    const std::string key = key_of(WAS);
    const std::string name(RAS_FILE);
    con.line(" - GERADA - " + name + " " + key + integer(NISO, 4));
    if (NISO < 1) read_raster_file(name, key, IPEN, WISO, LBEZ, NISO, LTIT, NTIT);
    con.line(" -- Farbrasterdarstellung mit" + integer(NISO, 3) + " Farben");
}

void load_raster_classes(std::string_view RAS_FILE, std::string_view WAS) {
    RasterClasses& r = raster_classes();
    const std::string key = key_of(WAS);
    if (r.NISO > 0 && r.key != key) r.NISO = 0;
    GERADA(RAS_FILE, key, r.IPEN, r.CLASS, r.LBEZ, r.NISO, r.LTIT, r.NTIT);
    r.key = key;
}

void raster_legend_lines(std::string_view RAS_FILE, std::string_view WAS, int& headings, int& entries) {
    RasterClasses& r = raster_classes();
    load_raster_classes(RAS_FILE, WAS);
    headings = r.NTIT;
    entries = static_cast<int>(std::count_if(r.LBEZ.begin(), r.LBEZ.begin() + r.NISO,
                                             [](const std::string& text) { return !text.starts_with('!'); }));
}

void MAKDZC(const platform::Field2D<float>& CIN, int NA, int MZ, std::span<const float> DZ,
            platform::Field2D<float>& COUT, int NZI, float DZI, int& MNZ) {
    constexpr char ROUTINE[] = "MAKDZC";
    platform::fatal_if(NA < 1 || MZ < 1 || CIN.n1() < NA || CIN.n2() < MZ || DZ.size() < static_cast<std::size_t>(MZ),
                       ROUTINE, "Feldgröße falsch: NA=" + std::to_string(NA) + ", MZ=" + std::to_string(MZ));
    platform::fatal_if(NZI < 0 || COUT.n1() < NA || COUT.n2() < NZI, ROUTINE,
                       "Ausgabefeld kleiner als NA x NZI (NZI=" + std::to_string(NZI) + ")");
    platform::fatal_if(!(DZI > 0.0f) || !std::isfinite(DZI), ROUTINE, "Schichtdicke DZI muss positiv sein");
    for (int k = 1; k <= MZ; ++k)
        platform::fatal_if(!(DZ[at(k)] > 0.0f) || !std::isfinite(DZ[at(k)]), ROUTINE,
                           "Schichtdicke DZ(" + std::to_string(k) + ") muss positiv sein");

    auto& con = platform::console();
    con.line(" - MAKDZC -" + integer(NA, 6) + integer(MZ, 6));
    const auto dz = DZ.first(static_cast<std::size_t>(MZ));
    const auto [thinnest, thickest] = std::minmax_element(dz.begin(), dz.end());
    auto copy_row = [&](int from, int to) {
        for (int i = 1; i <= NA; ++i) COUT(i, to) = CIN(i, from);
    };
    if (*thickest - *thinnest < 0.0001f) {
        if (MZ > NZI) platform::stop("MAKDZC-NZI zu klein angegeben");
        for (int k = 1; k <= MZ; ++k) copy_row(k, k);
        MNZ = MZ;
        return;
    }

    // Heights of the layer centres and their distances.
    con.line(" nicht-äquidistantes Gitter, Interpolation auf Schichten von" + fixed(DZI, 8, 2) + " m");
    con.line("    k       DZ       ZF      DZF");
    std::vector<float> ZF(static_cast<std::size_t>(MZ)), DZF(static_cast<std::size_t>(MZ), 0.0f);
    ZF[0] = 0.5f * DZ[0];
    for (int k = 2; k <= MZ; ++k) ZF[at(k)] = ZF[at(k - 1)] + 0.5f * (DZ[at(k - 1)] + DZ[at(k)]);
    for (int k = 1; k < MZ; ++k) DZF[at(k)] = ZF[at(k + 1)] - ZF[at(k)];
    for (int k = 1; k <= MZ; ++k)
        con.line(integer(k, 5) + fixed(DZ[at(k)], 9, 2) + fixed(ZF[at(k)], 9, 2) +
                 (k < MZ ? fixed(DZF[at(k)], 9, 2) : std::string()));

    double top = 0.0;
    for (float d : dz) top += d;
    // The new layers fill the column up to its top: DZ = 1, 2, 4 gives 7
    // layers of 1 m. (Counting one layer less would leave the top one out.)
    const double layers = std::trunc(top / DZI + 1e-3);
    if (!(layers <= NZI)) platform::stop("MAKDZC-NZI zu klein angegeben");
    MNZ = std::max(0, static_cast<int>(layers));

    int k = 1;
    for (int ki = 1; ki <= MNZ; ++ki) {
        const float zi = (static_cast<float>(ki) - 0.5f) * DZI;
        if (zi <= ZF[0]) {
            copy_row(1, ki);
        } else if (zi >= ZF[at(MZ)]) {
            if (zi > ZF[at(MZ)]) con.line(fixed(zi, 10, 2) + " über dem obersten Punkt");
            copy_row(MZ, ki);
        } else {
            while (k < MZ - 1 && zi >= ZF[at(k + 1)]) ++k;
            const float w = (zi - ZF[at(k)]) / DZF[at(k)];
            for (int i = 1; i <= NA; ++i) COUT(i, ki) = CIN(i, k) + (CIN(i, k + 1) - CIN(i, k)) * w;
        }
    }
}

float UEBERH() {
    const std::optional<double> factor = platform::ask_positive(" Überhöhungsfaktor für z-Achse: ");
    return factor && *factor < 3.4e38 ? static_cast<float>(*factor) : 2.0f;
}

}  // namespace contour
