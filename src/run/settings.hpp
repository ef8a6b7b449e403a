#pragma once
// The settings file beside the executable: the trip list, the GPX and output folders and
// the two thinning thresholds.

#include <string>

namespace omvo::run {

struct Settings {
    double minspeed = -1.0;   // km/h
    double mincorner = -1.0;  // degrees
    std::string vplistname;
    std::string gpxpath;
    std::string kmlpath;
    // Readings beyond the plain one, each off unless its key is 1.
    bool isotimes = false;  // every ISO 8601 time is measured
    bool cutgaps = false;   // a track segment 5 km or more away starts a new segment
    bool routes = false;    // a file without track points is drawn from its route points
};

// Reads the settings file. A missing or incomplete file writes its console message and
// throws RunStop(1); a number that cannot be read, or a switch other than 0 or 1, is named
// on standard error, RunStop(1).
// Throws InOutError when the file cannot be read.
Settings ReadSettings(const std::string& settingsPath);

}  // namespace omvo::run
