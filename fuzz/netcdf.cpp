// A NetCDF file read by mural as its run and drawn: files written through the
// library from the input's decisions, or the input as a classic-format file.
#include "fuzz_support.h"
#include "netcdf_recipe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::start();
    const std::string path = (fuzz::scratch() / "fuzz.nc").string();
    fuzz::RecipeRun run{{"/l:RO"}, "V\nK02\n\n\n3\n\n\n\n\n"};
    if (size >= 3 && std::string_view(reinterpret_cast<const char*>(data), 3) == "CDF") {
        fuzz::put(path, fuzz::bytes_of(data, size));
    } else {
        fuzz::Recipe recipe(data, size);
        run = fuzz::write_recipe(recipe, path);
    }
    std::vector<std::string> args = {"fuzz.nc"};
    args.insert(args.end(), run.options.begin(), run.options.end());
    fuzz::run_mural(args, run.answers);
    return 0;
}
