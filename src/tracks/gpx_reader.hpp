#pragma once
// Loading one GPX track file into the track point store, line by line, by markers.

#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "tracks/track_store.hpp"

namespace omvo::tracks {

// What the settings ask of the reader beyond the plain reading; all off by default.
struct ReadOptions {
    bool isoTimes = false;  // every xsd:dateTime form of a time is measured, not only the
                            // 20-character YYYY-MM-DDThh:mm:ssZ
    bool cutGaps = false;   // a new track segment (<trkseg>) starts a new segment like a new
                            // track when its first point lies 5 km or more away
    bool routes = false;    // a file without track points is read again for route points
};

// Loads the file into the store, marks segment starts (a new track section 5 km or more
// away from the previous point) and sets the far flag, without a word on the console: the
// warnings are kept in the store. A file with a UTF-16 byte-order mark is read as UTF-16.
// False when no file exists at the path. Throws InOutError when the file cannot be read.
// Safe to run for different stores on different threads.
bool ReadTrack(const std::string& path, TrackStore& store, const ReadOptions& options = {});

// The console side of a load, as if it had been shown while the file was read: writes the
// store's warnings, then rethrows the failure that ended the load, if any; when no file was
// found, writes "Файл <path> не найден!" and a line end and throws RunStop(1).
void ReportTrack(bool found, const TrackStore& store, std::exception_ptr failure = nullptr);

// ReadTrack, then ReportTrack.
void LoadTrack(const std::string& path, TrackStore& store, const ReadOptions& options = {});

// A coordinate text as the store keeps it: an optional leading '-', digits with at most one
// '.' among them ("54.7", "-0.5", "54", ".5"). Nothing for the empty text, a lone '-', a '-'
// after the first character or a second '.'.
std::optional<double> ParseCoordinate(std::string_view text);

// Sets what the time text tells the speed filter: a text of the 20-character form
// YYYY-MM-DDThh:mm:ssZ is measured, and with `isoTimes` every form that ReadIsoTime reads;
// one of such a form that names no valid date and time is marked invalid.
void SetPointTime(TrackPoint& point, std::string_view text, bool isoTimes = false);

constexpr bool IsNumberChar(char c) { return (c >= '0' && c <= '9') || c == '.' || c == '-'; }

// Without trailing '0's after a '.', and without a '.' that then ends the text.
std::string_view TrimTrailingZeros(std::string_view text);

}  // namespace omvo::tracks
