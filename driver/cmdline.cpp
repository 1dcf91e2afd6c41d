#include "driver/cmdline.h"

#include <cmath>

#include "platform/arguments.h"
#include "platform/console.h"
#include "platform/fatal.h"

namespace driver {

namespace {

constexpr char GETARG_NAME[] = "GETARG";

void split_command_line(CommandLine& cl) {
    cl = CommandLine();
    cl.split = true;
    for (const std::string& raw : platform::arguments()) {
        if (raw.empty()) continue;
        if (raw[0] != '/' && raw[0] != '-') {
            cl.args.push_back(raw);
            cl.option.push_back(false);
            continue;
        }
        // "-de" and "--de" are written as "/de".
        std::size_t dashes = raw.find_first_not_of('-');
        std::string text = raw;
        if (raw[0] == '-') {
            text.assign(1, '/');
            text.append(raw, dashes == std::string::npos ? raw.size() : dashes, std::string::npos);
        }
        std::size_t start = 0;
        for (std::size_t pos = 1; pos <= text.size(); ++pos) {
            bool at_end = pos == text.size();
            if (!at_end && text[pos] != '/') continue;
            std::string_view piece(text.data() + start, pos - start);
            // A ":" or "=" starts the value; the value runs to the end of the argument.
            if (!at_end && piece.find_first_of(":=") != std::string_view::npos) continue;
            cl.args.emplace_back(piece);
            cl.option.push_back(true);
            start = pos;
        }
    }
    cl.NARG = static_cast<int>(cl.args.size());
    for (const std::string& a : cl.args) {
        if (!cl.CMDL.empty()) cl.CMDL += ' ';
        cl.CMDL += a;
    }
    cl.LC = static_cast<int>(cl.CMDL.size());
}

// Argument N, or nullptr after the warning about a missing argument.
const std::string* argument_or_warn(int N) {
    if (N < 1 || N > NARGC()) {
        platform::console().line(" GETARG-W-missing argument #" + std::to_string(N));
        return nullptr;
    }
    return &command_line().args[static_cast<std::size_t>(N - 1)];
}

// The value of an option argument starts after its first ":" or "=", at the
// earliest at its third character ('/F12' has the value '12').
std::string value_of(const std::string& arg) {
    std::size_t sep = arg.find_first_of(":=");
    std::size_t start = sep == std::string::npos ? 2 : std::max<std::size_t>(sep + 1, 2);
    if (start >= arg.size()) return std::string();
    std::string value = arg.substr(start);
    value.erase(value.find_last_not_of(' ') + 1);
    return value;
}

[[noreturn]] void bad_number(int N, const std::string& arg, std::string_view text) {
    platform::console().line(" GETARG-I-Argument " + arg + " Pos." + std::to_string(N));
    platform::fatal(GETARG_NAME, text);
}

}  // namespace

CommandLine& command_line() {
    static CommandLine instance;
    return instance;
}

void reset_command_line() { command_line() = CommandLine(); }

int NARGC() {
    CommandLine& cl = command_line();
    if (!cl.split) split_command_line(cl);
    return cl.NARG;
}

void GETARG(int N, std::string& ARG, int& LEN) {
    const std::string* arg = argument_or_warn(N);
    if (!arg) {
        LEN = -1;
        return;
    }
    ARG = *arg;
    LEN = static_cast<int>(ARG.size());
}

void GETCARG(int N, std::string& TEXT, int& LEN) {
    const std::string* arg = argument_or_warn(N);
    if (!arg) {
        LEN = -1;
        return;
    }
    TEXT = value_of(*arg);
    LEN = static_cast<int>(TEXT.size());
}

void GETIARG(int N, int& IVALUE, int& ISTAT) {
    const std::string* found = argument_or_warn(N);
    if (!found) {
        ISTAT = -1;
        return;
    }
    const std::string& arg = *found;
    long long value = 0;
    int sign = 1;
    int digits = 0;
    for (char c : value_of(arg)) {
        if (c >= '0' && c <= '9') {
            value = 10 * value + (c - '0');
            // A number beyond the integer range is as wrong as a letter.
            if (value > 2147483647LL) bad_number(N, arg, "falsches INTEGER_Argument");
            ++digits;
        } else if (c == '+') {
        } else if (c == '-') {
            sign = -1;
        } else {
            bad_number(N, arg, "falsches INTEGER_Argument");
        }
    }
    IVALUE = static_cast<int>(sign * value);
    ISTAT = digits > 0 ? digits : -1;
}

void GETRARG(int N, float& VALUE, int& ISTAT) {
    const std::string* found = argument_or_warn(N);
    if (!found) {
        ISTAT = -1;
        return;
    }
    const std::string& arg = *found;
    double value = 0;
    int sign = 1;
    int digits = 0;
    int decimals = 0;
    bool in_decimals = false;
    for (char c : value_of(arg)) {
        if (c >= '0' && c <= '9') {
            value = 10 * value + (c - '0');
            ++digits;
            if (in_decimals) ++decimals;
        } else if (c == '.' || c == ',') {
            if (in_decimals) bad_number(N, arg, "falsches REAL_Argument");
            in_decimals = true;
        } else if (c == 'E' || c == 'e') {
            platform::fatal(GETARG_NAME, "Exponenten-Handling nicht implementiert");
        } else if (c == '+') {
        } else if (c == '-') {
            sign = -1;
        } else {
            bad_number(N, arg, "falsches REAL_Argument");
        }
    }
    value = sign * value / std::pow(10.0, decimals);
    if (!std::isfinite(value) || std::fabs(value) > 3.0e38) bad_number(N, arg, "falsches REAL_Argument");
    VALUE = static_cast<float>(value);
    ISTAT = digits > 0 ? digits : -1;
}

bool TSTOPT(std::string_view OPTION, int& IARG, int IGN_CASE, int L) {
    IARG = 0;
    if (NARGC() == 0) return false;
    std::string wanted(OPTION.substr(0, static_cast<std::size_t>(std::max(0, std::min<int>(L, OPTION.size())))));
    if (wanted.empty()) return false;
    const CommandLine& cl = command_line();
    for (int k = 1; k <= cl.NARG; ++k) {
        if (!cl.option[static_cast<std::size_t>(k - 1)]) continue;
        // Only the name part counts: a value ('/p=out/final.plt') never switches an option on.
        std::string name = cl.args[static_cast<std::size_t>(k - 1)];
        if (const std::size_t value = name.find_first_of(":="); value != std::string::npos) name.resize(value);
        if (IGN_CASE != 0) TOLOWR(name, name);
        if (name.find(wanted) != std::string::npos) {
            IARG = k;
            return true;
        }
    }
    return false;
}

void GETFLN(std::string& FILE, std::string_view DEXT, std::string_view DFILE) {
    const int narg = NARGC();
    CommandLine& cl = command_line();
    // Option arguments are skipped: 'MURAL /n run1' reads 'run1.ERG'.
    while (cl.next_file <= narg && cl.option[static_cast<std::size_t>(cl.next_file - 1)]) ++cl.next_file;
    if (cl.next_file > narg) {
        FILE = DFILE;
        return;
    }
    std::string name = cl.args[static_cast<std::size_t>(cl.next_file - 1)];
    ++cl.next_file;
    name.erase(name.find_last_not_of(' ') + 1);
    if (name.empty()) {
        FILE = DFILE;
        return;
    }
    // The "." of an extension is looked for in the file-name part only.
    std::size_t slash = name.find_last_of("/\\");
    std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    if (name.find('.', base) == std::string::npos) name += DEXT;
    if (name.size() > kMaxFileName)
        platform::fatal("GETFLN", "Dateiname länger als " + std::to_string(kMaxFileName) + " Zeichen: " + name);
    FILE = name;
}

void TOLOWR(std::string_view STRING, std::string& STRONG) {
    std::string out(STRING);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    STRONG = out;
}

}  // namespace driver
