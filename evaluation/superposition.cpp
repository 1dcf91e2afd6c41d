// Superposition of the results of a series of runs.
//
// List file: the title on its first line, then up to 36 case lines
// "number name weight" in free format (the name may be quoted with ' or "),
// then the name of the output file, one item (quoted when it holds blanks).
// Blank lines are passed over, as a list-directed read passes over empty
// records. Nothing of a list is dropped: a line of several items that does
// not read as a case (a mistyped weight, a decimal comma) and any line after
// the output name stop the run with a message naming the line.
//
// For every case with weight w and every element X of U, V, W, U0, V0:
//   vector mean   Xc += w·X
//   scalar mean   Xc += w·|X|
// and finally Xc /= SUMW, SUMW = Σ w. A mean that leaves the range of the
// file's reals (weights like 1e39) is refused before anything is written.
// The grid is the first file's, and every other file must have the same one,
// origin included; the inflow data and the obstacle file come from the last
// file.
//
// The list is checked whole before the first result file is read, so that a
// list that cannot give an output (no output name, weights summing to 0, the
// output replacing one of its own inputs) costs no reading and creates no file.
#include "evaluation/superposition.h"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/files.h"
#include "platform/freeformat.h"
#include "platform/text.h"
#include "resultfile/separate.h"
#include "resultfile/writer.h"

namespace evaluation {

namespace {

constexpr char ROUTINE[] = "SUPERP";
constexpr int kMaxCases = 36;               // one run per 10 degrees
constexpr std::size_t kNameField = 128;     // file-name field of the header
constexpr double kGridTolerance = 1e-4;     // relative, for DX, DY, DZK
constexpr double kOriginTolerance = 0.01;   // cells, for XMIN, YMIN
constexpr char kProgramName[] = "QEM-S V9.99";
constexpr char kPause[] = " weiter mit <Eingabe> ";

struct CaseLine {
    long number = 0;
    std::string file;
    double weight = 0.0;
};

struct CaseList {
    std::string title;
    std::vector<CaseLine> cases;
    std::optional<std::string> output;  // nothing: the list names no output file
};

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::size_t skip_blanks(std::string_view s, std::size_t i) {
    while (i < s.size() && is_blank(s[i])) ++i;
    return i;
}

// Past the blanks and at most one comma that separate two items.
std::size_t skip_separator(std::string_view s, std::size_t i) {
    i = skip_blanks(s, i);
    if (i < s.size() && s[i] == ',') i = skip_blanks(s, i + 1);
    return i;
}

// A file-name item starting at i: quoted with ' or " (a doubled quote stands
// for one), or else everything up to the next blank or comma. Unlike a
// list-directed read, "/" belongs to the name: it separates directories.
std::optional<std::string> name_item(std::string_view s, std::size_t& i) {
    if (i >= s.size()) return std::nullopt;
    const char quote = s[i];
    std::string name;
    if (quote == '\'' || quote == '"') {
        for (std::size_t j = i + 1; j < s.size(); ++j) {
            if (s[j] != quote) {
                name += s[j];
            } else if (j + 1 < s.size() && s[j + 1] == quote) {
                name += quote;
                ++j;
            } else {
                i = j + 1;
                return name;
            }
        }
        return std::nullopt;  // no closing quote
    }
    std::size_t end = i;
    while (end < s.size() && !is_blank(s[end]) && s[end] != ',') ++end;
    name = std::string(s.substr(i, end - i));
    i = end;
    return name;
}

[[noreturn]] void refuse_line(const std::string& path, std::size_t number, const std::string& text,
                              std::string_view line) {
    platform::fatal(ROUTINE, "Listendatei " + path + ", Zeile " + std::to_string(number) + ": " + text + ": " +
                                 platform::to_utf8(line) + " - nichts gespeichert");
}

// A case line; a line that does not read as one is refused with the reason.
// The weight ends the read, except that a decimal comma ("0,5", which a
// list-directed read would take as 0 and 5) is refused.
CaseLine parse_case_line(std::string_view line, const std::string& path, std::size_t number) {
    auto refuse = [&](const std::string& text) { refuse_line(path, number, text, line); };
    std::size_t i = skip_blanks(line, 0);
    std::size_t end = i;
    while (end < line.size() && !is_blank(line[end]) && line[end] != ',') ++end;
    auto case_number = platform::parse_int(line.substr(i, end - i));
    if (!case_number) refuse("kein Fall (Nummer Datei Wichtung), die Nummer ist keine ganze Zahl");
    i = skip_separator(line, end);
    auto name = name_item(line, i);
    if (!name || name->empty()) refuse("kein Fall (Nummer Datei Wichtung), der Dateiname fehlt");
    const std::size_t from = skip_separator(line, i);
    std::size_t to = from;
    while (to < line.size() && !is_blank(line[to]) && line[to] != ',') ++to;
    std::vector<std::optional<double>> weight;
    if (from == line.size()) refuse("kein Fall (Nummer Datei Wichtung), die Wichtung fehlt");
    if (!platform::parse_reals(line.substr(from, to - from), weight, 1) || weight.size() != 1 || !weight[0])
        refuse("Wichtung " + std::string(line.substr(from, to - from)) + " ist keine Zahl");
    if (to + 1 < line.size() && line[to] == ',' && std::isdigit(static_cast<unsigned char>(line[to + 1])))
        refuse("Dezimalkomma in der Wichtung - als Dezimalzeichen gilt der Punkt (0.5)");
    if (!(std::fabs(*weight[0]) <= FLT_MAX)) refuse("Wichtung außerhalb des Zahlenbereichs der Ergebnisdatei");
    return CaseLine{*case_number, std::move(*name), *weight[0]};
}

// Whether a line holds one item only: a quoted name, or text without blanks and commas.
bool single_item(std::string_view line) {
    std::size_t i = skip_blanks(line, 0);
    if (i < line.size() && (line[i] == '\'' || line[i] == '"')) {
        return name_item(line, i) && skip_blanks(line, i) == line.size();
    }
    const std::size_t last = line.find_last_not_of(" \t");
    return line.substr(i, last + 1 - i).find_first_of(" \t,") == std::string_view::npos;
}

// The output name: a quoted name, or else the line without its surrounding blanks.
std::string output_name(std::string_view line) {
    std::size_t first = skip_blanks(line, 0);
    std::size_t i = first;
    if (auto quoted = name_item(line, i); quoted && (line[first] == '\'' || line[first] == '"')) return *quoted;
    std::size_t last = line.find_last_not_of(" \t");
    return std::string(line.substr(first, last + 1 - first));
}

std::vector<std::string_view> split_lines(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r')) line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

CaseList read_case_list(const std::string& path) {
    auto text = platform::read_text_file(path, ROUTINE);
    if (!text) platform::fatal(ROUTINE, "Listendatei " + path + " existiert nicht");
    const std::vector<std::string_view> lines = split_lines(*text);
    CaseList list;
    if (lines.empty()) return list;
    list.title = std::string(lines[0]);
    std::size_t output_line = 0;
    for (std::size_t n = 1; n < lines.size(); ++n) {
        std::string_view line = lines[n];
        if (skip_blanks(line, 0) == line.size()) continue;
        if (output_line != 0)
            refuse_line(path, n + 1,
                        "nach dem Namen der Ausgabedatei (Zeile " + std::to_string(output_line) + ") steht noch etwas",
                        line);
        if (single_item(line)) {
            list.output = output_name(line);
            output_line = n + 1;
            continue;
        }
        CaseLine case_line = parse_case_line(line, path, n + 1);
        if (static_cast<int>(list.cases.size()) == kMaxCases)
            platform::fatal(ROUTINE, "Listendatei " + path + " hat mehr als " + std::to_string(kMaxCases) +
                                         " Fälle: " + std::string(line));
        list.cases.push_back(std::move(case_line));
    }
    if (list.output && list.output->empty()) list.output.reset();
    return list;
}

void check_list(const CaseList& list, const std::string& list_file, std::string_view main_file) {
    const std::string& out = *list.output;
    if (list.cases.empty()) platform::fatal(ROUTINE, "Listendatei " + list_file + " enthält keine Fälle");
    if (out.size() > kNameField)
        platform::fatal(ROUTINE, "Name der Ausgabedatei länger als " + std::to_string(kNameField) + " Zeichen: " + out);
    double sum = 0.0, magnitude = 0.0;
    for (const CaseLine& c : list.cases) {
        sum += c.weight;
        magnitude += std::fabs(c.weight);
    }
    // Weights like 0.1, 0.2, -0.3 leave a rounding rest that must count as 0.
    if (std::fabs(sum) <= 1e-6 * magnitude)
        platform::fatal(ROUTINE, "Summe der Wichtungsfaktoren ist 0 - kein Mittelwert, " + out + " nicht geschrieben");
    if (platform::same_file(out, list_file)) platform::fatal(ROUTINE, "Ausgabedatei " + out + " ist die Listendatei");
    if (!main_file.empty()) {
        const std::string main(main_file);
        if (platform::same_file(out, platform::find_file(main).value_or(main)))
            platform::fatal(ROUTINE, "Ausgabedatei " + out + " ist die Ergebnisdatei des Laufs");
    }
    for (const CaseLine& c : list.cases)
        if (platform::same_file(out, platform::find_file(c.file).value_or(c.file)))
            platform::fatal(ROUTINE, "Ausgabedatei " + out + " ist die Falldatei " + c.file);
}

bool close_enough(double a, double b) { return std::fabs(a - b) <= kGridTolerance * std::max(std::fabs(a), std::fabs(b)); }

// Every file of the series must lie on the first one's grid.
void check_grid(const resultfile::ResultFileImage& first, const std::string& first_file,
                const resultfile::ResultFileImage& r, const std::string& file) {
    auto mismatch = [&](const std::string& item, const std::string& mine, const std::string& theirs) {
        platform::fatal(ROUTINE, "Gitter von " + file + " passt nicht zu " + first_file + ": " + item + " = " + mine +
                                     " statt " + theirs);
    };
    auto count = [&](const char* item, int mine, int theirs) {
        if (mine != theirs) mismatch(item, std::to_string(mine), std::to_string(theirs));
    };
    auto width = [&](const std::string& item, float mine, float theirs) {
        if (!close_enough(mine, theirs)) mismatch(item, platform::format_real(mine), platform::format_real(theirs));
    };
    // The same site: corners within a hundredth of a cell.
    auto corner = [&](const std::string& item, float mine, float theirs, float cell) {
        if (!(std::fabs(static_cast<double>(mine) - theirs) <= kOriginTolerance * cell))
            mismatch(item, platform::format_real(mine), platform::format_real(theirs));
    };
    count("NX", r.NX, first.NX);
    count("NY", r.NY, first.NY);
    count("NZ", r.NZ, first.NZ);
    width("DX", r.DX, first.DX);
    width("DY", r.DY, first.DY);
    corner("XMIN", r.XMIN, first.XMIN, first.DX);
    corner("YMIN", r.YMIN, first.YMIN, first.DY);
    for (std::size_t k = 0; k < first.DZK.size(); ++k)
        width("DZK(" + std::to_string(k + 1) + ")", r.DZK[k], first.DZK[k]);
}

void accumulate(std::vector<float>& sum, const std::vector<float>& values, float weight, bool vector_mean) {
    for (std::size_t n = 0; n < sum.size(); ++n) sum[n] += weight * (vector_mean ? values[n] : std::fabs(values[n]));
}

void divide(std::vector<float>& sum, float SUMW) {
    for (float& x : sum) x /= SUMW;
}

void pause_for_confirmation() {
    auto& con = platform::console();
    con.prompt(kPause);
    con.read_line();
}

// The title as stored in the model's files: code page 850.
std::string stored_text(const std::string& text) {
    return platform::is_valid_utf8(text) ? platform::utf8_to_cp850(text) : text;
}

}  // namespace

std::string SUPERP(std::string_view MUL_FILE, std::string_view TITEL, bool DEBUG, std::string_view MNAME,
            std::string_view MAIN_FILE) {
    // The series is read into images of its own, so the main run's title and
    // family stay as they are.
    (void)TITEL;
    (void)MNAME;
    auto& con = platform::console();
    const std::string list_file(MUL_FILE);
    con.line(" ## Superp " + list_file);
    con.prompt(" V-Vektormittel, S-Skalarmittel: ");
    const std::string answer = con.read_line();
    const std::size_t first_char = skip_blanks(answer, 0);
    const bool vector_mean = first_char < answer.size() && (answer[first_char] == 'V' || answer[first_char] == 'v');

    const CaseList list = read_case_list(list_file);
    if (!list.output) {
        con.line(" SUPERP-I-Listendatei " + list_file + " nennt keine Ausgabedatei: nichts gespeichert");
        return {};
    }
    check_list(list, list_file, MAIN_FILE);
    const std::string& output = *list.output;

    resultfile::ResultFileImage mean;  // accumulators on the first file's grid
    std::string first_file;
    float SUMW = 0.0f;
    bool trz = false;
    for (const CaseLine& c : list.cases) {
        con.line(platform::integer(c.number, 4) + "-UVW-Datei: " + c.file + "     Wichtung:" +
                 platform::fixed(c.weight, 6, 1));
        const float w = static_cast<float>(c.weight);
        SUMW += w;
        std::string family;
        const resultfile::ResultFileImage r = resultfile::read_result_separately(c.file, DEBUG, family);
        if (first_file.empty()) {
            first_file = c.file;
            mean = r;
            for (auto* field : {&mean.U0, &mean.V0, &mean.U, &mean.V, &mean.W}) std::fill(field->begin(), field->end(), 0.0f);
        } else {
            check_grid(mean, first_file, r, c.file);
        }
        accumulate(mean.U0, r.U0, w, vector_mean);
        accumulate(mean.V0, r.V0, w, vector_mean);
        accumulate(mean.U, r.U, w, vector_mean);
        accumulate(mean.V, r.V, w, vector_mean);
        accumulate(mean.W, r.W, w, vector_mean);
        // Inflow data and obstacle file of the last run.
        mean.igbfile = r.igbfile;
        mean.WNord = r.WNord;
        mean.DD = r.DD;
        mean.FF = r.FF;
        mean.ZA = r.ZA;
        mean.WEXP = r.WEXP;
        mean.D0 = r.D0;
        mean.Z0 = r.Z0;
        mean.ALPHA = r.ALPHA;
        mean.TOPZU = r.TOPZU;
        trz = family.starts_with("TRZ");
    }
    if (static_cast<int>(list.cases.size()) == kMaxCases) con.line(" 36 Richtungen gelesen");

    con.line(platform::integer(static_cast<long long>(list.cases.size()), 3) +
             " Fälle bearbeitet, Summe der Wichtungsfaktoren:" + platform::exponent_form(SUMW, 10, 3));
    pause_for_confirmation();
    for (auto* field : {&mean.U0, &mean.V0, &mean.U, &mean.V, &mean.W}) divide(*field, SUMW);
    // Weighted sums beyond the range of the file's reals leave no mean.
    bool finite = std::isfinite(SUMW);
    for (auto* field : {&mean.U0, &mean.V0, &mean.U, &mean.V, &mean.W})
        finite = finite && std::all_of(field->begin(), field->end(), [](float x) { return std::isfinite(x); });
    if (!finite)
        platform::fatal(ROUTINE, "gewichtete Summen außerhalb des Zahlenbereichs (Wichtungen zu groß) - " + output +
                                     " nicht geschrieben");

    // A result file of the current format; TRZ runs know no profile exponent.
    mean.version = 2.1f;
    mean.program = kProgramName;
    mean.title = stored_text(list.title);
    mean.infile.clear();
    mean.orodat.clear();
    mean.landat.clear();
    mean.uvwdat = output;
    if (trz) mean.WEXP = 0.0f;

    con.line(" generierte Felder speichern in " + output);
    resultfile::write_result_file(output, mean);
    pause_for_confirmation();
    return output;
}

}  // namespace evaluation
