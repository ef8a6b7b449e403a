#pragma once
// Loading one GPX track file into the track point store, line by line, by markers.

#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "tracks/track_store.hpp"

namespace omvo::tracks {

// Loads the file into the store, marks segment starts (a new track section 5 km or more
// away from the previous point) and sets the far flag, without a word on the console: the
// warnings are kept in the store. False when no file exists at the path. Throws InOutError
// when the file cannot be read. Safe to run for different stores on different threads.
bool ReadTrack(const std::string& path, TrackStore& store);

// The console side of a load, as if it had been shown while the file was read: writes the
// store's warnings, then rethrows the failure that ended the load, if any; when no file was
// found, writes "Файл <path> не найден!" and a line end and throws RunStop(1).
void ReportTrack(bool found, const TrackStore& store, std::exception_ptr failure = nullptr);

// ReadTrack, then ReportTrack.
void LoadTrack(const std::string& path, TrackStore& store);

// A coordinate text as the store keeps it: an optional leading '-', digits with at most one
// '.' among them ("54.7", "-0.5", "54", ".5"). Nothing for the empty text, a lone '-', a '-'
// after the first character or a second '.'.
std::optional<double> ParseCoordinate(std::string_view text);

// Sets what the time text tells the speed filter: only a text of the 20-character form
// YYYY-MM-DDThh:mm:ssZ is measured; one of that form that names no valid date and time is
// marked invalid.
void SetPointTime(TrackPoint& point, std::string_view text);

constexpr bool IsNumberChar(char c) { return (c >= '0' && c <= '9') || c == '.' || c == '-'; }

// Without trailing '0's after a '.', and without a '.' that then ends the text.
std::string_view TrimTrailingZeros(std::string_view text);

}  // namespace omvo::tracks
