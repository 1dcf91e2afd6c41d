// The background definition (DEFDIG) and the opening of the digitised data
// (BACKG). A definition line is "KEY=value"; everything from "!" on is a
// comment. Feature classes ("ZE") give identifier, form, pen, line width,
// line type, pattern and legend text, in free format:
//   ZE=a,P,3,0.3,1,0,Strassen
#include "mapelements/background.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "mapelements/clipping.h"
#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/files.h"
#include "platform/freeformat.h"
#include "platform/text.h"
#include "velin/velin.h"

namespace mapelements {

namespace {

constexpr char ROUTINE[] = "DEFDIG";
constexpr std::size_t kDefinitionLine = 80;  // characters of a definition line
constexpr std::size_t kNameLength = 64;      // title and file name
constexpr std::size_t kLegendText = 32;      // legend heading and class text
constexpr char kFallback[] = "LESDIG.DEF";
constexpr float kMaxWidth = 5.0f;            // mm, widest line of a feature class

using platform::fixed;
using platform::integer;

std::string trim(std::string_view text) {
    std::size_t a = text.find_first_not_of(" \t");
    if (a == std::string_view::npos) return {};
    std::size_t b = text.find_last_not_of(" \t");
    return std::string(text.substr(a, b - a + 1));
}

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::optional<double> one_real(std::string_view value) {
    std::vector<std::optional<double>> v;
    if (!platform::parse_reals(value, v, 1) || v.empty() || !v[0]) return std::nullopt;
    return v[0];
}

// The fields of a class: six items separated by commas or blanks, then the
// legend text (quotes taken off).
struct ClassFields {
    std::vector<std::string> items;
    std::string text;
};

ClassFields class_fields(std::string_view value) {
    ClassFields f;
    std::size_t p = 0;
    while (f.items.size() < 6 && p < value.size()) {
        while (p < value.size() && (value[p] == ' ' || value[p] == '\t')) ++p;
        std::size_t e = p;
        while (e < value.size() && value[e] != ',' && value[e] != ' ' && value[e] != '\t') ++e;
        f.items.emplace_back(value.substr(p, e - p));
        while (e < value.size() && (value[e] == ' ' || value[e] == '\t')) ++e;
        if (e < value.size() && value[e] == ',') ++e;
        p = e;
    }
    std::string text = p < value.size() ? trim(value.substr(p)) : std::string();
    if (text.size() >= 2 && (text.front() == '\'' || text.front() == '"') && text.back() == text.front())
        text = text.substr(1, text.size() - 2);
    f.text = platform::trimmed(text.substr(0, kLegendText));
    return f;
}

std::optional<long> whole(const std::string& item) {
    std::vector<std::optional<long>> v;
    if (!platform::parse_ints(item, v, 1) || v.empty() || !v[0]) return std::nullopt;
    return v[0];
}

void add_class(BackgroundDefinition& b, std::string_view value, int number, const std::string& line) {
    auto& con = platform::console();
    ClassFields f = class_fields(value);
    std::optional<long> pen = f.items.size() > 2 ? whole(f.items[2]) : std::nullopt;
    std::optional<double> width = f.items.size() > 3 ? one_real(f.items[3]) : std::nullopt;
    std::optional<long> mode = f.items.size() > 4 ? whole(f.items[4]) : std::nullopt;
    std::optional<long> pattern = f.items.size() > 5 ? whole(f.items[5]) : std::nullopt;
    if (f.items.size() < 6 || f.items[0].size() != 1 || f.items[1].size() != 1 || !pen || !width || !mode || !pattern)
        platform::stop(" DEFDIG-F-Zeile" + integer(number, 3) + ": Kennung, Form, Stift, Dicke, Linienart, Muster "
                       "und Text erwartet <<" + line + ">>");
    BackgroundClass c;
    c.id = f.items[0][0];
    c.form = static_cast<char>(std::toupper(static_cast<unsigned char>(f.items[1][0])));
    c.IPEN = static_cast<int>(std::clamp<long>(*pen, -99999, 99999));
    c.DICK = static_cast<float>(*width);
    // A wider line would paint the page rather than draw a feature.
    if (!(c.DICK <= kMaxWidth)) {
        con.line(" DEFDIG-W-Zeile" + integer(number, 3) + ": Linienbreite " + f.items[3] + " mm auf " +
                 fixed(kMaxWidth, 0, 1) + " mm begrenzt");
        c.DICK = kMaxWidth;
    }
    c.MODE = static_cast<int>(std::clamp<long>(*mode, -99999, 99999));
    c.IPAT = static_cast<int>(std::clamp<long>(*pattern, -99999, 99999));
    c.LDSC = f.text;
    if (std::string("PRKST").find(c.form) == std::string::npos)
        platform::stop(std::string(" DEFDIG-F-falsche Form (") + f.items[1][0] + ") nur P,R,K,S und T zulässig!");
    const auto code = static_cast<unsigned char>(c.id);
    if (code < 34 || code > 122) platform::stop(" DEFDIG-F-nur ASCII-Zeichen a bis z für Kennung verwenden");
    // A symbol's pattern is its symbol number.
    if (c.form == 'S' && c.IPAT >= 1) c.MODE = c.IPAT;
    if (c.form != 'S' && (c.MODE < 0 || c.MODE > 3))
        platform::stop(" DEFDIG-F-nur Linienart 1-3 zulässig, MODE=" + integer(c.MODE, 0));
    if (c.IPEN < 0 || c.IPEN > 40) platform::stop(" DEFDIG-F-nur Stifte 0 bis 40 zulässig, IPEN=" + integer(c.IPEN, 0));
    if (static_cast<int>(b.classes.size()) >= kBackgroundClasses) platform::stop("DEFDIG-F-zuviele Angaben, NKEN erhöhen");
    b.classes.push_back(c);
    if (b.info)
        con.line(std::string(" Zeige=") + c.id + " " + c.form + integer(c.IPEN, 4) + fixed(c.DICK, 6, 2) +
                 integer(c.MODE, 4) + integer(c.IPAT, 6) + " " + c.LDSC);
}

void read_definition(BackgroundDefinition& b, const std::string& name, const std::string& text) {
    auto& con = platform::console();
    const std::vector<std::string> lines = split_lines(text);
    std::string coordinate_mode;  // the value of "LI"
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const int number = static_cast<int>(n) + 1;
        std::string line = lines[n];
        if (line.size() > kDefinitionLine) {
            con.line(" DEFDIG-W-Zeile" + integer(number, 3) + " länger als 80 Zeichen, der Rest wird nicht gelesen");
            line.resize(kDefinitionLine);
        }
        std::string content = line.substr(0, line.find('!'));
        if (trim(content).size() < 2) continue;
        content = trim(content);
        std::string key = content.substr(0, 2);
        for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const std::size_t eq = content.find('=');
        if (eq == std::string::npos || trim(content.substr(eq + 1)).empty()) continue;
        const std::string value = trim(content.substr(eq + 1));
        if (key == "TI") {
            b.title = value.substr(0, kNameLength);
        } else if (key == "WN") {
            if (std::optional<double> v = one_real(value)) {
                b.WNORD = static_cast<float>(*v);
                b.wnord_given = true;
                if (b.info) con.line(" WNord=" + fixed(b.WNORD, 8, 2));
            }
        } else if (key == "DI") {
            b.DIGDAT = value.substr(0, kNameLength);
            if (b.DIGDAT.find('?') != std::string::npos) {
                con.prompt(" Dateiname mit digitalisierten Hintergrunddaten: ");
                b.DIGDAT = trim(con.read_line()).substr(0, kNameLength);
            }
            if (b.info) con.line(" DEFDIG-I-DigDat=" + b.DIGDAT);
        } else if (key == "ZE") {
            add_class(b, value, number, line);
        } else if (key == "LA") {
            const std::size_t at = std::string("Aa_Kk").find(value[0]);
            b.arrangement = at == std::string::npos ? 0 : static_cast<int>((at + 1) % 3);
        } else if (key == "ZH") {
            std::optional<double> v = one_real(value);
            if (v && *v > 0.0) b.ZHLEG = static_cast<float>(*v);
            else con.line(" DEFDIG-W-Zeichenhöhe muß größer 0 sein!");
        } else if (key == "IN") {
            std::optional<long> v = whole(value);
            b.info = v && *v >= 1;
        } else if (key == "LE") {
            if (static_cast<int>(b.headings.size()) < kBackgroundHeadings)
                b.headings.push_back(platform::trimmed(value.substr(0, kLegendText)));
            else con.line(" DEFDIG-W-höchstens 5 Legendenüberschriften, Zeile" + integer(number, 3) + " übergangen");
        } else if (key == "LI") {
            b.absolute = value.rfind("AB", 0) == 0 || value.rfind("ab", 0) == 0 || value.rfind("ME", 0) == 0 ||
                         value.rfind("Me", 0) == 0;
            coordinate_mode = value;
        } else if (key == "RW" || key == "HW") {
            if (std::optional<double> v = one_real(value)) (key == "RW" ? b.RW : b.HW) = *v;
        } else {
            con.line(" DEFDIG-W-Zeile" + integer(number, 3) + " nicht interpretierbar ?");
            con.line(" <<" + line + ">>");
            con.prompt(" weiter mit [RETURN] ");
            con.read_line();
        }
    }
    b.read = true;
    b.file = name;
    // The coordinate mode is kept for the record; the drawing takes every
    // coordinate as read plus the offsets "RW", "HW".
    if (b.info && !coordinate_mode.empty())
        con.line(" DEFDIG-I-LI=" + coordinate_mode + ": Koordinatenmodus " + (b.absolute ? "ein" : "aus") +
                 " (nur vermerkt, die Zeichnung nimmt die Koordinaten wie gelesen plus RW, HW)");
    con.line(" LESDIG-Definitionen: " + name);
    if (b.classes.empty()) platform::stop("DEFDIG-F-keine Angaben zu Kennungen?");
}

}  // namespace

BackgroundDefinition& background() {
    static BackgroundDefinition b;
    return b;
}

void reset_background() { background() = BackgroundDefinition{}; }

void DEFDIG(std::string_view FILE, float& WNORD, int& ISTAT) {
    BackgroundDefinition& b = background();
    b.legend_due = false;
    ISTAT = 1;
    std::string name(FILE);
    std::optional<std::string> found = platform::find_file(name);
    if (!found) {
        platform::console().line(" DEFDIG-W-Datei " + name + " nicht gefunden!");
        if (name == kFallback) return;
        name = kFallback;
        found = platform::find_file(name);
        if (!found) return;
    }
    std::optional<std::string> text = platform::read_text_file(*found, ROUTINE);
    if (!text) return;
    read_definition(b, name, *text);
    if (b.wnord_given) WNORD = b.WNORD;
    ISTAT = 0;
}

void BACKG(std::string_view FILE, bool DRAFT, int PEN, float xmin, float xmax, float ymin, float ymax,
           bool with_legend) {
    BackgroundDefinition& b = background();
    auto& con = platform::console();
    const std::string name(FILE);
    std::optional<std::string> found = platform::find_file(name);
    std::optional<std::string> text = found ? platform::read_text_file(*found, "BACKG") : std::nullopt;
    if (!text) {
        con.line(" !! Hintergrunddatei " + name + " nicht gefunden !!");
        return;
    }
    con.line(" ## Hintergrunddaten aus der Datei " + name);
    b.data_name = name;
    b.data = split_lines(*text);
    b.xmin = xmin;
    b.xmax = xmax;
    b.ymin = ymin;
    b.ymax = ymax;
    set_clip_window(xmin, xmax, ymin, ymax);
    velin::GRACE(0.0f);
    velin::NOCHEK();
    LESDIG(DRAFT, PEN, with_legend);
    b.data.clear();
}

}  // namespace mapelements
