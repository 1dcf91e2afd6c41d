#include "flowplots/window.h"

namespace flowplots {

PlotWindow& plot_window() {
    static PlotWindow window;
    return window;
}

}  // namespace flowplots
