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
    bool webpage = false;  // also write the web page beside the documents
};

// Reads the settings file. A missing or incomplete file writes its console message and
// throws RunStop(1); a number that cannot be read, or a flag other than "0" or "1", is named
// on standard error, RunStop(1).
// Throws InOutError when the file cannot be read.
Settings ReadSettings(const std::string& settingsPath);

}  // namespace omvo::run
