// Writes the generated seeds of the fuzz corpora into fuzz/corpus/<target>/:
// result and obstacle files of every format version and both model families,
// diffusion-coefficient files packed and unpacked, and plot files that mural
// draws from the small run. The text seeds are copied from examples/ by hand.
#include <cstdio>
#include <string>

#include "fuzz_support.h"
#include "netcdf_recipe.h"

namespace {

namespace fs = std::filesystem;

const fs::path corpus = fs::path(MURAL_SOURCE_DIR) / "fuzz" / "corpus";

void seed(const std::string& target, const std::string& name, const std::string& bytes) {
    fs::create_directories(corpus / target);
    fuzz::put(corpus / target / name, bytes);
}

}  // namespace

int main() {
    try {
        for (const char* family : {"QEM", "TRZ"})
            for (float version : {2.1f, 2.0f, 1.7f, 1.6f}) {
                char name[32];
                std::snprintf(name, sizeof name, "%s_%.1f", family, static_cast<double>(version));
                const std::string program = std::string(family) + " V3.2";
                seed("result", std::string(name) + ".ERG",
                     resultfile::encode_result_file(fuzz::small_run(version, program)));
                seed("obstacle", std::string(name) + ".IGB",
                     resultfile::encode_obstacle_file(fuzz::small_obstacles(version, program)));
            }
        seed("diffusion", "packed.DIF", resultfile::encode_diffusion_file(fuzz::small_diffusion()));
        seed("diffusion", "reals.DIF", resultfile::encode_diffusion_file(fuzz::small_diffusion(0.0f, 0.0f)));

        // NetCDF files: recipes of decisions (netcdf_recipe.h; a zero byte is
        // the sound choice) and the bytes of a classic-format file.
        std::vector<std::uint8_t> flags_and_list(32, 0);
        flags_and_list.insert(flags_and_list.end(), {2, 0, 0, 0, 0, 0, 0});
        for (int k = 0; k < 3; ++k) flags_and_list.insert(flags_and_list.end(), {1, 1, 0, 0, 1, 1, 0, 3, 0, 0, 0, 2});
        flags_and_list.insert(flags_and_list.end(), {0, 1, 0, 1, 0, 1, 2, 3, 1, 2, 0, 0, 0, 3, 1, 3});
        const std::pair<const char*, std::vector<std::uint8_t>> recipes[] = {
            {"complete", {}},
            {"classic_isolines", {1, 1}},
            {"cdf2_coefficients", {2, 2}},
            {"nc4classic_streamlines", {3, 3}},
            {"time_packed_u", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 0, 3, 1, 0, 0, 0x9c, 0xff}},
            {"no_w", {0, 0, 0, 0, 0, 0, 0, 0, 4, 0}},
            {"flags_and_list", flags_and_list},
        };
        // The same flags without the list: the boxes come from the flags.
        std::vector<std::uint8_t> flags_only = flags_and_list;
        flags_only[32] = 0;
        for (const auto& [name, bytes] : recipes) seed("netcdf", name, std::string(bytes.begin(), bytes.end()));
        seed("netcdf", "flags_only", std::string(flags_only.begin(), flags_only.end()));
        fuzz::start();
        const std::uint8_t classic[] = {0, 1};
        fuzz::Recipe recipe(classic, sizeof classic);
        fuzz::write_recipe(recipe, (fuzz::scratch() / "classic.nc").string());
        seed("netcdf", "classic.nc", fuzz::source_file_at(fuzz::scratch() / "classic.nc"));

        struct Plot {
            const char* name;
            std::vector<std::string> args;
            const char* answers;
        };
        for (const Plot& p : {Plot{"vectors.plt", {"run1", "/l:RO"}, "V\nK02\n\n\n3\n\n\n\n\n"},
                              Plot{"raster.plt", {"run1", "/l:UL", "/m"}, "F\nK02\n\n\n\n\n"},
                              Plot{"isolines.plt", {"run1", "/l:RO"}, "WI\nJ05\n\n\n\n0.1\n0\n\n\n\n"}}) {
            fuzz::start();
            if (fuzz::run_mural(p.args, p.answers) != 0) {
                std::fprintf(stderr, "make_fuzz_seeds: the run for %s failed\n", p.name);
                return 1;
            }
            seed("hpgl", p.name, fuzz::source_file_at(fuzz::scratch() / "MURAL.PLT"));
        }
    } catch (const platform::Fatal& f) {
        std::fprintf(stderr, "%s\n", f.what());
        return 1;
    }
    return 0;
}
