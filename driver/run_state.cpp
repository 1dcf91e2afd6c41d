// The one reset of a run's records, subsystem by subsystem.
#include "contour/isolines.h"
#include "driver/cmdline.h"
#include "driver/comparison.h"
#include "driver/settings.h"
#include "driver/startup.h"
#include "flowplots/reset.h"
#include "mapelements/reset.h"
#include "resultfile/model.h"
#include "velin/velin.h"

namespace driver {

void reset_run() {
    reset_command_line();
    reset_settings();
    reset_comparison();
    resultfile::reset_model();
    velin::reset();
    mapelements::reset();
    contour::reset();
    flowplots::reset();
}

}  // namespace driver
