#pragma once
// Loading one GPX track file into the track point store, line by line, by markers.

#include <string>
#include <string_view>

#include "tracks/track_store.hpp"

namespace omvo::tracks {

// Loads the file into the store, marks segment starts (a new track section 5 km or more
// away from the previous point) and sets the far flag. When no file exists at the path,
// writes "Файл <path> не найден!" and a line end to the console and throws RunStop(1).
// Throws InOutError when the file cannot be read.
void LoadTrack(const std::string& path, TrackStore& store);

bool IsNumberChar(char c);

// Without trailing '0's after a '.', and without a '.' that then ends the text.
std::string_view TrimTrailingZeros(std::string_view text);

}  // namespace omvo::tracks
