#include "atlas/gallery.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "atlas/drawing.h"
#include "atlas/records.h"
#include "platform/files.h"

namespace atlas {

namespace fs = std::filesystem;

namespace {

constexpr char kGenerator[] = "<meta name=\"generator\" content=\"mural-atlas\">";
// The frame of a thumbnail, in pixels; the card around it is 280 wide, so a
// window 1280 wide holds four of them side by side.
constexpr int kFrameWidth = 262;
constexpr int kFrameHeight = 200;

std::string html(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

// A file name as a relative link: everything but unreserved characters escaped.
std::string link(std::string_view name) {
    std::string out;
    for (unsigned char c : name) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return html(out);
}

// Width and height from the header of a PNG; nothing when it is none.
std::optional<std::pair<int, int>> png_size(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char head[24];
    if (!in.read(reinterpret_cast<char*>(head), sizeof head)) return std::nullopt;
    if (head[0] != 0x89 || head[1] != 'P' || head[2] != 'N' || head[3] != 'G') return std::nullopt;
    auto be = [&](int at) { return (head[at] << 24) | (head[at + 1] << 16) | (head[at + 2] << 8) | head[at + 3]; };
    const int w = be(16), h = be(20);
    if (w <= 0 || h <= 0) return std::nullopt;
    return std::make_pair(w, h);
}

constexpr char kStyle[] = R"(
*{box-sizing:border-box}
body{font-family:"DejaVu Sans",Arial,sans-serif;margin:0 24px 48px;background:#eceff3;color:#1f2933}
header{padding:18px 0 6px}
h1{font-size:22px;margin:0 0 4px}
.summary{margin:0;color:#4a5563;font-size:14px}
.summary .bad{color:#b91c1c;font-weight:bold}
nav{margin:8px 0 0;font-size:14px}
nav a{margin-right:14px}
h2{font-size:19px;margin:28px 0 4px;padding-bottom:3px;border-bottom:2px solid #9aa5b1}
h2 small{font-weight:normal;color:#4a5563;font-size:13px}
h3{font-size:15px;margin:14px 0 8px;color:#323f4b}
.gallery{display:grid;grid-template-columns:repeat(auto-fill,280px);gap:16px}
figure{margin:0;width:280px;padding:8px;background:#fff;border:1px solid #cbd2d9;border-radius:4px}
figure a.picture{display:flex;width:262px;height:200px;align-items:center;justify-content:center}
figure img{display:block;max-width:262px;max-height:200px;box-shadow:0 0 0 1px #e4e7eb}
figcaption{font-size:12px;line-height:1.4;margin-top:6px;word-wrap:break-word}
figcaption .section{font-weight:bold;font-size:13px}
figcaption .settings{font-family:"DejaVu Sans Mono",monospace}
figcaption .links a{margin-right:8px}
.note{color:#8d2b0b}
figure.failed{border:2px solid #b91c1c;background:#fdf2f2}
figure.missing{border-style:dashed}
.message{height:200px;overflow:auto;margin:0;padding:6px;font-family:"DejaVu Sans Mono",monospace;font-size:12px;
 white-space:pre-wrap;word-break:break-word;color:#7f1d1d;background:#fff;border:1px solid #f5b4b4}
.placeholder{height:200px;display:flex;align-items:center;justify-content:center;color:#7b8794;background:#f5f7fa;
 border:1px dashed #cbd2d9;font-size:13px}
figure.broken{border:2px solid #b91c1c}
figure.broken::before{content:"Bild fehlt oder ist beschädigt";display:block;color:#b91c1c;font-weight:bold;font-size:12px}
)";

// Marks each thumbnail when it has loaded ("ok") or could not ("broken", and
// the card says so): a picture that is missing beside the page shows at once.
constexpr char kScript[] = R"(
for (const img of document.images) {
  const mark = () => {
    const ok = img.naturalWidth > 0;
    img.dataset.state = ok ? "ok" : "broken";
    if (!ok) img.closest("figure").classList.add("broken");
  };
  if (img.complete) mark(); else { img.addEventListener("load", mark); img.addEventListener("error", mark); }
}
)";

enum class State { kDrawn, kOutdated, kFailed, kMissing };

struct Card {
    const Picture* picture;
    State state;
    std::string note;
    std::optional<Record> record;
};

void write_card(std::ostringstream& out, const Card& c, const std::string& dir) {
    const Picture& p = *c.picture;
    const char* cls = c.state == State::kFailed ? "failed" : c.state == State::kMissing ? "missing" : "drawn";
    out << "<figure class=\"" << cls << "\" id=\"" << html(p.name) << "\" title=\"" << html(p.name) << "\">\n";
    const bool picture = regular_file(dir + "/" + p.name + ".png") && regular_file(dir + "/" + p.name + ".svg");
    if (c.state == State::kFailed) {
        out << "<pre class=\"message\">" << html(c.record->message) << "</pre>\n";
    } else if (c.state == State::kMissing || !picture) {
        out << "<div class=\"placeholder\">noch nicht gezeichnet</div>\n";
    } else {
        // The picture as large as the frame allows, upright or across.
        const auto size = png_size(dir + "/" + p.name + ".png").value_or(std::make_pair(1754, 1240));
        const double scale = std::min(double(kFrameWidth) / size.first, double(kFrameHeight) / size.second);
        out << "<a class=\"picture\" href=\"" << link(p.name + ".svg") << "\"><img src=\"" << link(p.name + ".png")
            << "\" width=\"" << static_cast<int>(size.first * scale + 0.5) << "\" height=\""
            << static_cast<int>(size.second * scale + 0.5) << "\" loading=\"lazy\" alt=\"" << html(p.name) << "\"></a>\n";
    }
    out << "<figcaption><span class=\"section\">" << html(p.section) << "</span> " << html(p.where) << "<br>\n";
    out << "<span class=\"settings\">" << (p.settings.empty() ? "Vorgaben" : html(p.settings)) << "</span><br>\n";
    if (c.state == State::kFailed) out << "<span class=\"note\">fehlgeschlagen</span><br>\n";
    if (c.state == State::kOutdated) out << "<span class=\"note\">nicht aktuell: " << html(c.note) << "</span><br>\n";
    out << "<span class=\"links\">Zeile " << p.line << " ";
    auto file_link = [&](const std::string& ext, const char* label) {
        if (regular_file(dir + "/" + p.name + ext))
            out << "<a href=\"" << link(p.name + ext) << "\">" << label << "</a>";
    };
    if (c.state == State::kFailed && picture) file_link(".svg", "älteres Bild");
    else if (c.state != State::kFailed) {
        file_link(".png", "PNG");
        file_link(".pdf", "PDF");
        file_link(".plt", "PLT");
    }
    file_link(".log", "Protokoll");
    out << "</span></figcaption>\n</figure>\n";
}

}  // namespace

bool write_gallery(const Plan& plan, const std::string& dir, const std::string& list, PageCounts& counts,
                   std::string& error) {
    const std::string page = dir + "/index.html";
    std::error_code ec;
    if (fs::exists(page, ec)) {
        std::ifstream in(page);
        std::string head(2048, '\0');
        in.read(head.data(), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<std::size_t>(in.gcount()));
        if (head.find(kGenerator) == std::string::npos) {
            error = page + " stammt nicht vom Atlas und bleibt, wie sie ist";
            return false;
        }
    }

    // Runs in the order the list first names them, kinds likewise within a run.
    std::vector<const RunInfo*> runs;
    std::map<const RunInfo*, std::vector<std::string>> kinds;
    std::map<std::pair<const RunInfo*, std::string>, std::vector<Card>> cards;
    Stamps stamps;
    counts = PageCounts{};
    for (const Picture& p : plan.pictures) {
        if (kinds.find(p.run) == kinds.end()) runs.push_back(p.run);
        auto& k = kinds[p.run];
        if (std::find(k.begin(), k.end(), p.picture) == k.end()) k.push_back(p.picture);
        Card c{&p, State::kMissing, {}, read_record(record_path(dir, p.name))};
        if (c.record && !c.record->ok) {
            c.state = State::kFailed;
            ++counts.failed;
        } else if (c.record) {
            c.note = redraw_reason(p, c.record, stamps, dir);
            c.state = c.note.empty() ? State::kDrawn : State::kOutdated;
            ++(c.note.empty() ? counts.drawn : counts.outdated);
        } else {
            ++counts.missing;
        }
        cards[{p.run, p.picture}].push_back(std::move(c));
    }

    std::ostringstream out;
    const std::string title = "Atlas " + std::string(platform::file_name_part(list));
    out << "<!DOCTYPE html>\n<html lang=\"de\">\n<head>\n<meta charset=\"utf-8\">\n" << kGenerator << "\n";
    out << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    out << "<title>" << html(title) << "</title>\n<style>" << kStyle << "</style>\n</head>\n<body>\n";
    out << "<header>\n<h1>" << html(title) << "</h1>\n<p class=\"summary\">" << plan.pictures.size() << " Bilder: "
        << counts.drawn << " gezeichnet";
    if (counts.outdated) out << ", " << counts.outdated << " nicht aktuell";
    if (counts.failed) out << ", <span class=\"bad\">" << counts.failed << " fehlgeschlagen</span>";
    if (counts.missing) out << ", " << counts.missing << " noch nicht gezeichnet";
    out << " &middot; Stand " << html(date_time()) << " &middot; " << html(list) << "</p>\n<nav>";
    for (const RunInfo* run : runs) out << "<a href=\"#run-" << link(run->name) << "\">" << html(run->name) << "</a>";
    out << "</nav>\n</header>\n";
    for (const RunInfo* run : runs) {
        out << "<section class=\"run\" id=\"run-" << html(run->name) << "\">\n<h2>" << html(run->name) << " <small>"
            << html(run->path) << " &middot; " << html(run->title) << "</small></h2>\n";
        for (const std::string& kind : kinds[run]) {
            const std::vector<Card>& group = cards[{run, kind}];
            out << "<section class=\"kind\">\n<h3>" << html(kind) << " &ndash; " << html(group.front().picture->kind_name)
                << "</h3>\n<div class=\"gallery\">\n";
            for (const Card& c : group) write_card(out, c, dir);
            out << "</div>\n</section>\n";
        }
        out << "</section>\n";
    }
    out << "<script>" << kScript << "</script>\n</body>\n</html>\n";
    if (!platform::write_file_atomically(page, out.str())) {
        error = page + " nicht schreibbar";
        return false;
    }
    return true;
}

}  // namespace atlas
