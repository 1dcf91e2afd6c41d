// MURAL's PDF writer: pages of stroked and filled paths in solid colours, the
// page content deflated as it is written. Coordinates are millimetres with
// three decimals, written without printf.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <string>
#include <vector>

#include "preview/device.h"

namespace preview {

class PdfWriter final : public Device {
public:
    explicit PdfWriter(std::string& out);
    ~PdfWriter() override;
    PdfWriter(const PdfWriter&) = delete;
    PdfWriter& operator=(const PdfWriter&) = delete;

    void begin_page(double width, double height, double x0, double y0) override;
    void end_page() override;
    void move_to(double x, double y) override;
    void line_to(double x, double y) override;
    void close_path() override;
    void circle(double x, double y, double radius) override;
    void new_path() override;
    void stroke(const Rgb& colour, const StrokeStyle& style) override;
    void fill(const Rgb& colour, bool even_odd) override;
    void finish() override;

private:
    // The graphics state the content stream has set, so that only changes are written.
    struct State {
        Rgb stroke_colour, fill_colour;
        double width = -1.0;
        bool round = true;
        std::vector<double> dashes;
        double dash_offset = 0.0;
    };

    // A point of the path in thousandths of a millimetre, the precision written.
    struct Micro {
        long long x = 0, y = 0;
        bool operator==(const Micro&) const = default;
    };

    void begin_object();
    void deflate_content(bool last);
    void put_point(Micro p, const char* op);

    std::string& out_;
    std::vector<std::size_t> offsets_;  // of objects 1, 2, ...
    std::vector<int> pages_;            // object numbers of the page dictionaries
    std::string content_;               // of the page, not yet deflated
    std::string path_;                  // the path being built
    // The last straight piece of the path (from, to) and where its "l"
    // stands, to lengthen it by a point in line with it.
    Micro from_, to_, start_;  // start_: of the subpath
    std::size_t line_at_ = 0;
    bool after_line_ = false;
    std::size_t deflated_ = 0;          // bytes of the page's stream so far
    z_stream zs_{};
    bool in_page_ = false;
    double page_width_ = 0.0, page_height_ = 0.0;  // points
    State state_;
};

}  // namespace preview
