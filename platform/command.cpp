#include "platform/command.h"

#include <exception>
#include <new>

#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/files.h"

namespace platform {

int run_command(std::string_view routine, int argc, char** argv, int (*run)(const std::vector<std::string>& args)) {
    remove_temporary_files_on_signals();
    auto& con = console();
    const std::string name(routine);
    try {
        int status = run(std::vector<std::string>(argv + 1, argv + argc));
        con.flush();
        return status;
    } catch (const Fatal& stop) {
        if (!stop.quiet()) con.error(stop.what());
    } catch (const std::bad_alloc&) {
        con.error(name + "-F-nicht genug Speicher");
    } catch (const std::exception& e) {
        con.error(name + "-F-unerwarteter Fehler: " + e.what());
    }
    discard_temporary_files();
    return 1;
}

}  // namespace platform
