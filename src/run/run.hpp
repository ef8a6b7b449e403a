#pragma once
// The run sequence: settings, trip list, documents, overlay placemarks, every trip.

#include <string>
#include <vector>

namespace omvo::run {

// Runs the tool; returns the exit code of a normal end. Run-ending failures are thrown
// (InOutError, RunStop).
int Run(const std::string& settingsPath, const std::vector<std::string>& overlayPaths);

}  // namespace omvo::run
