#pragma once
// Loading one GPX track file into the track point store, scanned for its markers block by
// block.

#include <exception>
#include <string>

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
// Returns false when no file exists at the path. Throws InOutError when the file cannot be
// read. Safe to run for different stores on different threads.
bool ReadTrack(const std::string& path, TrackStore& store, const ReadOptions& options = {});

// Writes the console side of a load, as if it had been shown while the file was read: the
// store's warnings, then rethrows the failure that ended the load, if any; when no file was
// found, writes "Файл <path> не найден!" and a line end and throws RunStop(1).
void ReportTrack(bool found, const TrackStore& store, std::exception_ptr failure = nullptr);

// Loads the track as ReadTrack does, then reports it as ReportTrack does.
void LoadTrack(const std::string& path, TrackStore& store, const ReadOptions& options = {});

}  // namespace omvo::tracks
