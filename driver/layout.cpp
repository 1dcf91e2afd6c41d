// Layout parameter file: lines of "key=value"; the key is the first two
// characters of the line, in any case. "!" starts a comment, a line starting
// with "[" or "--" ends the file, and a line shorter than two characters is
// skipped. Keys: ax, ay (plot width and height), xn, yn (origin on the page),
// zh (character height), fo (font switch: a value containing "wi"), pl (plot
// file), pa (palette file), tr (echo every following line).
#include "driver/layout.h"

#include <optional>
#include <sstream>
#include <vector>

#include "driver/cmdline.h"
#include "platform/codepage.h"
#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/files.h"
#include "platform/freeformat.h"
#include "platform/text.h"
#include "velin/velin.h"

namespace driver {

namespace {

// The message unit of the file, as the console shows it.
constexpr int kUnit = 99;

[[noreturn]] void not_interpretable(const std::string& line) {
    velin::VLERROR("DEFPAR-I-" + line + " - Zeile nicht interpretierbar!");
    const std::string message = "DEFPAR-F->>" + line + "<<";
    velin::VLERROR(message);
    platform::stop(message);  // not reached: VLERROR stops on "-F-"
}

std::string strip(const std::string& text) {
    std::size_t first = text.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : platform::trimmed(text.substr(first));
}

std::optional<float> first_real(const std::string& value) {
    std::vector<std::optional<double>> values;
    if (!platform::parse_reals(value, values, 1) || values.empty() || !values[0]) return std::nullopt;
    return static_cast<float>(*values[0]);
}

// A line of the file echoed by the trace, indented by one blank.
void echo(const std::string& raw) {
    std::string line = " ";
    line += platform::to_utf8(raw);
    platform::console().line(line);
}

}  // namespace

void DEFPAR(const std::string& DEF_FILE, float& AX, float& AY, float& XN, float& YN, float& ZH, bool& FO,
            std::string& PLT_FILE, std::string& PAL_FILE, std::string* GR) {
    std::optional<std::string> path = platform::find_file(DEF_FILE);
    if (!path) path = platform::find_file("pltdef.ini");
    if (!path) {
        velin::VLERROR("DEFPAR-W-Datei " + DEF_FILE + " nicht gefunden!");
        return;
    }
    std::optional<std::string> text = platform::read_text_file(*path, "DEFPAR");
    if (!text) {
        velin::VLERROR("DEFPAR-W-Datei " + *path + " nicht gefunden!");
        return;
    }
    std::istringstream in(std::move(*text));
    auto& con = platform::console();
    con.line("DEFPAR-I-Unit=" + std::to_string(kUnit));
    con.line("DEFPAR-I-" + *path + " geöffnet.");

    bool trace = false;
    std::string raw;
    while (std::getline(in, raw)) {
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        if (trace) echo(raw);
        if (raw.starts_with("[") || raw.starts_with("--")) break;
        std::string line = platform::trimmed(raw.substr(0, raw.find('!')));
        if (line.size() < 2) continue;
        std::string key;
        TOLOWR(line.substr(0, 2), key);
        const std::size_t eq = line.find('=');
        const std::string shown = platform::to_utf8(line);
        if (eq == std::string::npos) not_interpretable(shown);
        const std::string value = strip(line.substr(eq + 1));
        if (key == "ax" || key == "ay" || key == "xn" || key == "yn" || key == "zh") {
            std::optional<float> v = first_real(value);
            if (!v) not_interpretable(shown);
            (key == "ax" ? AX : key == "ay" ? AY : key == "xn" ? XN : key == "yn" ? YN : ZH) = *v;
        } else if (key == "fo") {
            std::string lower;
            TOLOWR(value, lower);
            FO = lower.find("wi") != std::string::npos;
        } else if (key == "pl") {
            PLT_FILE = value;
        } else if (key == "pa") {
            PAL_FILE = value;
        } else if (key == "gr" && GR) {
            *GR = value;
        } else if (key == "tr") {
            // The trace starts with its own line.
            if (!trace) echo(raw);
            trace = true;
        } else {
            not_interpretable(shown);
        }
    }
}

}  // namespace driver
