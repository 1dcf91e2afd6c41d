// Drawing the pictures: one mural process per picture, N at a time, each in
// a scratch folder of its own below DIR/.mural-atlas/tmp; a picture's files
// are moved into DIR only when mural has ended normally and written them
// all, so a failed or stopped picture never replaces an older one.
#pragma once

#include <string>
#include <vector>

#include "atlas/plan.h"

namespace atlas {

struct DrawSettings {
    std::string mural;     // the program
    std::string dir;       // absolute
    std::string list;      // the list's name, for the transcripts
    int jobs = 1;
    bool all = false;      // draw even the pictures that are up to date
};

struct Failure {
    const Picture* picture = nullptr;
    std::string message;
};

struct DrawOutcome {
    int drawn = 0;
    int unchanged = 0;
    std::vector<Failure> failures;
    int stopped = 0;       // running when the atlas was stopped
    int not_started = 0;   // waiting when the atlas was stopped
    int signal = 0;        // the signal that stopped the atlas; 0 when none
    double seconds = 0.0;
};

DrawOutcome draw_pictures(const std::vector<const Picture*>& pictures, const DrawSettings& settings);

// The time of day as "14:03:27" and the date with it as "2024-05-17 14:03:27".
std::string clock_time(double seconds_from_now = 0.0);
std::string date_time();

}  // namespace atlas
