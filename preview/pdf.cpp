#include "preview/pdf.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/fatal.h"

namespace preview {

namespace {

constexpr char ROUTINE[] = "PREVIEW";
constexpr double POINTS_PER_MM = 72.0 / 25.4;
// Content is deflated in pieces of this size as the page grows.
constexpr std::size_t DEFLATE_PIECE = 1u << 18;
// The control points of a quarter circle as a cubic Bezier curve.
constexpr double KAPPA = 0.5522847498307936;
// PDF readers take reals up to about 32767 units of the page; a plot never
// comes near (a page is at most 5 m wide).
constexpr double MAX_COORDINATE = 1.0e6;

// A value as an integer count of 10^-decimals (decimals 0..6), the precision written.
long long scaled(double value, int decimals) {
    if (!std::isfinite(value)) return 0;
    return std::llround(std::clamp(value, -MAX_COORDINATE, MAX_COORDINATE) * std::pow(10.0, decimals));
}

// A count of 10^-decimals as a decimal number without trailing zeros, written
// from integers (printf is most of the time of a large page).
void put_scaled(std::string& s, long long value, int decimals) {
    if (value < 0) s += '-';
    unsigned long long v = value < 0 ? 0ull - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    char digits[8] = {'.'};
    for (int d = decimals; d > 0; --d, v /= 10) digits[d] = static_cast<char>('0' + v % 10);
    char buffer[24];
    s.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr);
    int n = decimals;
    while (n > 0 && digits[n] == '0') --n;
    if (n > 0) s.append(digits, static_cast<std::size_t>(n) + 1);
}

void put(std::string& s, double value, int decimals = 3) { put_scaled(s, scaled(value, decimals), decimals); }

void put_colour(std::string& s, const Rgb& c, const char* op) {
    for (double v : {c.r, c.g, c.b}) {
        put(s, std::clamp(v, 0.0, 1.0));
        s += ' ';
    }
    s += op;
    s += '\n';
}

void put_pair(std::string& s, double x, double y) {
    put(s, x);
    s += ' ';
    put(s, y);
    s += ' ';
}

long long micro(double mm) { return scaled(mm, 3); }

}  // namespace

PdfWriter::PdfWriter(std::string& out) : out_(out) {
    out_ += "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    begin_object();
    out_ += "<< /Type /Catalog /Pages 2 0 R >>\nendobj\n";
    offsets_.push_back(0);  // the page tree, written last
}

PdfWriter::~PdfWriter() {
    if (in_page_) deflateEnd(&zs_);
}

void PdfWriter::begin_object() {
    offsets_.push_back(out_.size());
    out_ += std::to_string(offsets_.size()) + " 0 obj\n";
}

void PdfWriter::begin_page(double width, double height, double x0, double y0) {
    page_width_ = width * POINTS_PER_MM;
    page_height_ = height * POINTS_PER_MM;
    zs_ = z_stream{};
    if (deflateInit(&zs_, Z_BEST_SPEED) != Z_OK) platform::fatal(ROUTINE, "PDF: kein Speicher zum Packen");
    in_page_ = true;
    deflated_ = 0;
    begin_object();
    out_ += "<< /Length " + std::to_string(offsets_.size() + 1) + " 0 R /Filter /FlateDecode >>\nstream\n";
    // White paper, then the page in millimetres from the drawing's corner,
    // drawn with the round pen.
    content_ = "1 1 1 rg\n0 0 ";
    put_pair(content_, page_width_, page_height_);
    content_ += "re f\n";
    for (double v : {POINTS_PER_MM, 0.0, 0.0, POINTS_PER_MM}) {
        put(content_, v, 6);
        content_ += ' ';
    }
    put_pair(content_, -x0 * POINTS_PER_MM, -y0 * POINTS_PER_MM);
    content_ += "cm\n1 J 1 j\n";
    state_ = State{};
    state_.fill_colour = {1.0, 1.0, 1.0};
    new_path();
}

void PdfWriter::deflate_content(bool last) {
    unsigned char piece[1u << 16];
    zs_.next_in = reinterpret_cast<Bytef*>(content_.data());
    zs_.avail_in = static_cast<uInt>(content_.size());
    int status = Z_OK;
    do {
        zs_.next_out = piece;
        zs_.avail_out = sizeof piece;
        status = deflate(&zs_, last ? Z_FINISH : Z_NO_FLUSH);
        if (status == Z_STREAM_ERROR) platform::fatal(ROUTINE, "PDF: Packen gescheitert");
        const std::size_t n = sizeof piece - zs_.avail_out;
        out_.append(reinterpret_cast<const char*>(piece), n);
        deflated_ += n;
    } while (zs_.avail_out == 0 || (last && status != Z_STREAM_END));
    content_.clear();
}

void PdfWriter::end_page() {
    if (!in_page_) return;
    deflate_content(true);
    deflateEnd(&zs_);
    in_page_ = false;
    out_ += "\nendstream\nendobj\n";
    const int contents = static_cast<int>(offsets_.size());
    begin_object();
    out_ += std::to_string(deflated_) + "\nendobj\n";
    begin_object();
    pages_.push_back(static_cast<int>(offsets_.size()));
    out_ += "<< /Type /Page /Parent 2 0 R /MediaBox [ 0 0 ";
    put(out_, page_width_, 6);
    out_ += ' ';
    put(out_, page_height_, 6);
    out_ += " ] /Contents " + std::to_string(contents) + " 0 R /Resources << >> >>\nendobj\n";
}

void PdfWriter::put_point(Micro p, const char* op) {
    put_scaled(path_, p.x, 3);
    path_ += ' ';
    put_scaled(path_, p.y, 3);
    path_ += op;
}

void PdfWriter::move_to(double x, double y) {
    to_ = start_ = {micro(x), micro(y)};
    put_point(to_, " m\n");
    after_line_ = false;
}

// A point in line with the last piece and beyond it lengthens that piece,
// a point where the path already is adds nothing (a dot after a move stays).
void PdfWriter::line_to(double x, double y) {
    const Micro p{micro(x), micro(y)};
    if (after_line_) {
        if (p == to_) return;
        const long long ax = to_.x - from_.x, ay = to_.y - from_.y, bx = p.x - to_.x, by = p.y - to_.y;
        if (ax * by == ay * bx && ax * bx + ay * by > 0) {
            path_.resize(line_at_);
            put_point(p, " l\n");
            to_ = p;
            return;
        }
    }
    from_ = to_;
    to_ = p;
    line_at_ = path_.size();
    put_point(p, " l\n");
    after_line_ = true;
}

void PdfWriter::close_path() {
    path_ += "h\n";
    to_ = start_;
    after_line_ = false;
}

void PdfWriter::circle(double x, double y, double radius) {
    const double r = radius, k = KAPPA * radius;
    move_to(x + r, y);
    const double curves[4][6] = {{x + r, y + k, x + k, y + r, x, y + r},
                                 {x - k, y + r, x - r, y + k, x - r, y},
                                 {x - r, y - k, x - k, y - r, x, y - r},
                                 {x + k, y - r, x + r, y - k, x + r, y}};
    for (const auto& c : curves)
        for (int i = 0; i < 6; i += 2) put_point({micro(c[i]), micro(c[i + 1])}, i == 4 ? " c\n" : " ");
    close_path();
}

void PdfWriter::new_path() {
    path_.clear();
    after_line_ = false;
}

void PdfWriter::stroke(const Rgb& colour, const StrokeStyle& style) {
    if (!(colour == state_.stroke_colour)) put_colour(content_, colour, "RG");
    if (style.width != state_.width) {
        put(content_, style.width);
        content_ += " w\n";
    }
    if (style.round != state_.round) content_ += style.round ? "1 J 1 j\n" : "0 J 2 j\n";
    if (!std::equal(style.dashes.begin(), style.dashes.end(), state_.dashes.begin(), state_.dashes.end()) ||
        (!style.dashes.empty() && style.dash_offset != state_.dash_offset)) {
        content_ += '[';
        for (double d : style.dashes) {
            put(content_, d);
            content_ += ' ';
        }
        content_ += "] ";
        put(content_, style.dashes.empty() ? 0.0 : style.dash_offset);
        content_ += " d\n";
    }
    state_.stroke_colour = colour;
    state_.width = style.width;
    state_.round = style.round;
    state_.dashes.assign(style.dashes.begin(), style.dashes.end());
    state_.dash_offset = style.dash_offset;
    content_ += path_;
    content_ += "S\n";
    new_path();
    if (content_.size() >= DEFLATE_PIECE) deflate_content(false);
}

void PdfWriter::fill(const Rgb& colour, bool even_odd) {
    if (!(colour == state_.fill_colour)) put_colour(content_, colour, "rg");
    state_.fill_colour = colour;
    content_ += path_;
    content_ += even_odd ? "f*\n" : "f\n";
    new_path();
    if (content_.size() >= DEFLATE_PIECE) deflate_content(false);
}

void PdfWriter::finish() {
    end_page();
    offsets_[1] = out_.size();
    out_ += "2 0 obj\n<< /Type /Pages /Kids [";
    for (int page : pages_) out_ += ' ' + std::to_string(page) + " 0 R";
    out_ += " ] /Count " + std::to_string(pages_.size()) + " >>\nendobj\n";
    begin_object();
    out_ += "<< /Producer (MURAL) >>\nendobj\n";
    const std::size_t xref = out_.size();
    out_ += "xref\n0 " + std::to_string(offsets_.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t offset : offsets_) {
        char entry[21];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        out_ += entry;
    }
    out_ += "trailer\n<< /Size " + std::to_string(offsets_.size() + 1) + " /Root 1 0 R /Info " +
            std::to_string(offsets_.size()) + " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
}

}  // namespace preview
