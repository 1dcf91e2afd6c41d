#include "resultfile/model.h"

#include "resultfile/sections.h"

namespace resultfile {

ReaderState& reader_state() {
    static ReaderState instance;
    return instance;
}

OpenFiles& open_files() {
    static OpenFiles instance;
    return instance;
}

ObstacleList& obstacles() {
    static ObstacleList instance;
    return instance;
}

Grid& grid() {
    static Grid instance;
    return instance;
}

WindData& wind_data() {
    static WindData instance;
    return instance;
}

ModelFields& model_fields() {
    static ModelFields instance;
    return instance;
}

void reset_model() {
    open_files().result.close();
    open_files().diffusion.close();
    reader_state() = ReaderState();
    grid() = Grid();
    wind_data() = WindData();
    model_fields() = ModelFields();
    obstacles() = ObstacleList();
    open_files().obstacle.close();
    close_sections();
}

}  // namespace resultfile
