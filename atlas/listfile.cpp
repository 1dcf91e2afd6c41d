#include "atlas/listfile.h"

#include <cctype>
#include <string>

namespace atlas {

namespace {

// The letters of mural's picture menus; isolines ("I") for the scalar ones.
constexpr std::string_view kPictureLetters = "STVFWGDKXYC";
constexpr std::string_view kScalarLetters = "FWGDKXC";

struct Token {
    std::string text;
    std::size_t offset;  // in the line
};

char upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string trim(std::string_view text) {
    std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    std::size_t last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

std::vector<Token> split_blanks(std::string_view text) {
    std::vector<Token> tokens;
    std::size_t k = 0;
    while (k < text.size()) {
        while (k < text.size() && is_blank(text[k])) ++k;
        if (k == text.size()) break;
        std::size_t start = k;
        while (k < text.size() && !is_blank(text[k])) ++k;
        tokens.push_back({std::string(text.substr(start, k - start)), start});
    }
    return tokens;
}

class LineReader {
public:
    LineReader(int number, std::string_view line, std::vector<ListError>& errors)
        : number_(number), line_(line), errors_(errors) {}

    Place at(std::size_t offset) const { return {number_, characters(line_, offset) + 1}; }

    bool fail(std::size_t offset, std::string text) {
        errors_.push_back({at(offset), std::move(text)});
        return false;
    }

    // A section item: "K03", "K01-K05" (also "K01-05"), "K*".
    bool section(const std::string& item, std::size_t offset, std::vector<SectionItem>& out) {
        const std::string usage = " (erwartet: K03, einen Bereich K01-K05 oder K* für alle; Buchstabe I, J, K oder M)";
        SectionItem s;
        s.at = at(offset);
        s.kind = upper(item[0]);
        if (std::string_view("IJKM").find(s.kind) == std::string_view::npos)
            return fail(offset, "unbekannte Schnittart \"" + item + "\"" + usage);
        std::string_view rest = std::string_view(item).substr(1);
        if (rest == "*") {
            s.every = true;
            out.push_back(s);
            return true;
        }
        auto number = [&](std::string_view digits, int& value) {
            if (digits.empty() || digits.size() > 6) return false;
            value = 0;
            for (char c : digits) {
                if (c < '0' || c > '9') return false;
                value = value * 10 + (c - '0');
            }
            return true;
        };
        const std::size_t dash = rest.find('-');
        if (!number(rest.substr(0, dash), s.from)) return fail(offset, "Schnitt \"" + item + "\" nicht lesbar" + usage);
        s.to = s.from;
        if (dash != std::string_view::npos) {
            std::string_view end = rest.substr(dash + 1);
            if (!end.empty() && upper(end[0]) == s.kind) end.remove_prefix(1);
            else if (!end.empty() && std::string_view("IJKMijkm").find(end[0]) != std::string_view::npos)
                return fail(offset, "Bereich \"" + item + "\" mit zwei Schnittarten; beide Enden brauchen denselben Buchstaben");
            if (!number(end, s.to)) return fail(offset, "Bereich \"" + item + "\" nicht lesbar" + usage);
            if (s.to < s.from) return fail(offset, "Bereich \"" + item + "\" läuft rückwärts");
        }
        if (s.from == 0) return fail(offset, "Schnitt \"" + item + "\": die Schnitte zählen ab 1");
        out.push_back(s);
        return true;
    }

    bool read(ListLine& out) {
        // The answers follow a "|"; everything before it is blank-separated.
        std::string_view head = line_;
        const std::size_t bar = line_.find('|');
        if (bar != std::string_view::npos) {
            head = line_.substr(0, bar);
            out.answers_at = at(bar);
            std::string_view rest = line_.substr(bar + 1);
            for (std::size_t k = 0;;) {
                std::size_t semi = rest.find(';', k);
                out.answers.push_back(trim(rest.substr(k, semi == std::string_view::npos ? semi : semi - k)));
                if (semi == std::string_view::npos) break;
                k = semi + 1;
            }
            if (out.answers.size() == 1 && out.answers[0].empty()) out.answers.clear();
        }
        std::vector<Token> tokens = split_blanks(head);
        if (tokens.size() < 2)
            return fail(tokens.empty() ? 0 : line_.size(), tokens.empty() ? "Lauf, Bildart und Schnitt fehlen vor \"|\""
                                                                         : "Bildart und Schnitt fehlen");
        out.run = tokens[0].text;
        out.run_at = at(tokens[0].offset);

        const Token& picture = tokens[1];
        out.picture_at = at(picture.offset);
        for (char c : picture.text) out.picture += upper(c);
        const std::string letters_usage =
            " (S, T, V, F, W, G, D, K, mit /v auch X, Y, C; I dahinter für Isolinien: FI, WI, GI, DI, KI)";
        if (out.picture.size() > 2 || kPictureLetters.find(out.picture[0]) == std::string_view::npos)
            return fail(picture.offset, "unbekannte Bildart \"" + picture.text + "\"" + letters_usage);
        if (out.picture.size() == 2 &&
            (out.picture[1] != 'I' || kScalarLetters.find(out.picture[0]) == std::string_view::npos))
            return fail(picture.offset, "unbekannte Bildart \"" + picture.text + "\"" + letters_usage);

        bool sound = true;
        for (std::size_t t = 2; t < tokens.size(); ++t) {
            const Token& token = tokens[t];
            const char first = token.text[0];
            if (first == '/' || first == '-') {
                out.options.push_back({token.text, at(token.offset)});
            } else if (first == '@') {
                const std::string name = token.text.substr(1);
                bool plain = !name.empty();
                for (char c : name) plain = plain && (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_');
                if (!plain) sound = fail(token.offset, "Namenszusatz \"" + token.text + "\": nur Buchstaben, Ziffern, - und _");
                else if (!out.name_suffix.empty()) sound = fail(token.offset, "zweiter Namenszusatz \"" + token.text + "\"");
                out.name_suffix = name;
                out.name_suffix_at = at(token.offset);
            } else if (!out.options.empty() || !out.name_suffix.empty()) {
                sound = fail(token.offset, "\"" + token.text + "\" nach den Optionen: Schnitte stehen vor den Optionen, "
                                                               "Antworten hinter \"|\"");
            } else {
                // One token may hold several items: "K03,K08".
                std::size_t k = 0;
                while (k <= token.text.size()) {
                    std::size_t comma = token.text.find(',', k);
                    if (comma == std::string::npos) comma = token.text.size();
                    if (comma > k) sound = section(token.text.substr(k, comma - k), token.offset + k, out.sections) && sound;
                    k = comma + 1;
                }
            }
        }
        if (sound && out.sections.empty())
            return fail(tokens.size() > 2 ? tokens[2].offset : head.size(), "kein Schnitt angegeben (z. B. K03, J25, K*)");
        return sound;
    }

private:
    int number_;
    std::string_view line_;
    std::vector<ListError>& errors_;
};

}  // namespace

int characters(std::string_view text, std::size_t bytes) {
    int n = 0;
    for (std::size_t k = 0; k < bytes && k < text.size(); ++k)
        if ((static_cast<unsigned char>(text[k]) & 0xC0) != 0x80) ++n;
    return n;
}

std::vector<ListLine> parse_list(std::string_view text, std::vector<ListError>& errors) {
    std::vector<ListLine> lines;
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    int number = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view raw = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        std::string_view line = raw.substr(0, raw.find('#'));
        std::size_t last = line.find_last_not_of(" \t");
        if (last == std::string_view::npos) continue;
        line = line.substr(0, last + 1);
        ListLine out;
        out.number = number;
        out.text = std::string(line);
        LineReader reader(number, line, errors);
        if (reader.read(out)) lines.push_back(std::move(out));
    }
    return lines;
}

}  // namespace atlas
