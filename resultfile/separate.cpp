#include "resultfile/separate.h"

#include <utility>

#include "resultfile/fields.h"
#include "resultfile/header.h"
#include "resultfile/model.h"

namespace resultfile {

namespace {

// Keeps the main run's records aside while another file is read, and puts
// them back however the reading ends.
class MainRunAside {
public:
    MainRunAside()
        : state_(std::move(reader_state())), grid_(std::move(grid())), wind_(std::move(wind_data())),
          fields_(std::move(model_fields())) {
        reader_state() = ReaderState();
        grid() = Grid();
        wind_data() = WindData();
        model_fields() = ModelFields();
    }
    ~MainRunAside() {
        open_files().result.close();
        reader_state() = std::move(state_);
        grid() = std::move(grid_);
        wind_data() = std::move(wind_);
        model_fields() = std::move(fields_);
    }
    MainRunAside(const MainRunAside&) = delete;
    MainRunAside& operator=(const MainRunAside&) = delete;

private:
    ReaderState state_;
    Grid grid_;
    WindData wind_;
    ModelFields fields_;
};

}  // namespace

ResultFileImage read_result_separately(const std::string& FILE, bool DEBUG, std::string& MNAME) {
    MainRunAside aside;
    GET_HEAD(FILE, DEBUG, MNAME);
    int NX = 0, NY = 0, NZ = 0, kGrid = 0;
    GET_DIM(NX, NY, NZ, kGrid);
    GET_GRID();
    GET_ANS();
    ResultFileImage r;
    const ReaderState& rs = reader_state();
    const Grid& g = grid();
    const WindData& w = wind_data();
    r.version = rs.SVERS;
    r.program = rs.MNAME;
    r.title = rs.TITEL;
    r.infile = rs.INFILE;
    r.igbfile = rs.IGBFILE;
    r.orodat = rs.ORODAT;
    r.landat = rs.LANDAT;
    r.uvwdat = rs.UVWDAT;
    r.NX = NX;
    r.NY = NY;
    r.NZ = NZ;
    r.XMIN = g.XMIN;
    r.YMIN = g.YMIN;
    r.DX = g.DX;
    r.DY = g.DY;
    r.DZK.assign(g.DZK.span().begin(), g.DZK.span().end());
    r.WNord = w.WNord;
    r.DD = w.DD;
    r.FF = w.FF;
    r.ZA = w.ZA;
    r.WEXP = w.WEXP;
    r.D0 = w.D0;
    r.Z0 = w.Z0;
    r.U0.assign(w.U0.span().begin(), w.U0.span().end());
    r.V0.assign(w.V0.span().begin(), w.V0.span().end());
    r.ALPHA = w.ALPHA;
    r.TOPZU = w.TOPZU;
    auto read = [](std::vector<float>& f, int n1, int n2, int n3) {
        f.assign(static_cast<std::size_t>(n1) * static_cast<std::size_t>(n2) * static_cast<std::size_t>(n3), 0.0f);
        GET_UVW(f, n1, n2, n3);
    };
    read(r.U, NX + kGrid, NY, NZ);
    read(r.V, NX, NY + kGrid, NZ);
    read(r.W, NX, NY, NZ + kGrid);
    return r;
}

}  // namespace resultfile
