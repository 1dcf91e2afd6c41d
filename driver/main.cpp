#include <new>

#include "driver/startup.h"
#include "platform/arguments.h"
#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/files.h"

int main(int argc, char** argv) {
    platform::set_arguments(argc, argv);
    auto& con = platform::console();
    try {
        int status = driver::run_mural();
        con.flush();
        return status;
    } catch (const platform::Fatal& stop) {
        if (!stop.quiet()) con.error(stop.what());
    } catch (const std::bad_alloc&) {
        con.error("MURAL-F-nicht genug Speicher");
    }
    platform::discard_temporary_files();
    return 1;
}
