#include <exception>
#include <new>
#include <string>

#include "driver/startup.h"
#include "platform/arguments.h"
#include "platform/console.h"
#include "platform/fatal.h"
#include "platform/files.h"

int main(int argc, char** argv) {
    platform::remove_temporary_files_on_signals();
    auto& con = platform::console();
    // Nothing may leave main as an exception: that would abort the program
    // and leave the temporary plot file behind.
    try {
        platform::set_arguments(argc, argv);
        int status = driver::run_mural();
        con.flush();
        return status;
    } catch (const platform::Fatal& stop) {
        if (!stop.quiet()) con.error(stop.what());
    } catch (const std::bad_alloc&) {
        con.error("MURAL-F-nicht genug Speicher");
    } catch (const std::exception& e) {
        con.error(std::string("MURAL-F-unerwarteter Fehler: ") + e.what());
    } catch (...) {
        con.error("MURAL-F-unerwarteter Fehler unbekannter Art");
    }
    platform::discard_temporary_files();
    return 1;
}
