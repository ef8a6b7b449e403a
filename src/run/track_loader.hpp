#pragma once
// Loading the trips' tracks ahead on worker threads, while the run thins and writes them in
// trip order. Everything the user sees of a load happens when the run takes its track, so a
// run looks the same as one that loads each track when it comes to it: with fewer threads
// than asked for (the system gives no more), or none, and when a worker runs out of file
// descriptors, the run loads those tracks itself, one at a time.

#include <cstddef>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tracks/gpx_reader.hpp"
#include "tracks/track_figures.hpp"
#include "tracks/track_store.hpp"

namespace omvo::run {

struct LoadedTrack {
    tracks::TrackStore store;
    bool found = false;          // a file was there
    std::exception_ptr failure;  // what ended the load, to be thrown in trip order
    // Measured on the whole track right after the load, when the loader is asked to;
    // otherwise left empty.
    tracks::TrackFigures figures;
    tracks::ElevationProfile profile;
    tracks::ElevationTrace trace;  // the measuring's working space, kept for its capacity

    // The console side of the load: its warnings, then its failure or the missing file.
    void Report() const;
};

class TrackLoader {
public:
    // Starts loading the files in order on up to `workers` threads; at most `ahead` tracks
    // are loaded or loading beyond those taken, so memory stays bounded. No load starts
    // after a track that is missing or failed: the run ends there. With `measure`, every
    // track loaded gets its figures and profile, on the thread that loaded it.
    TrackLoader(std::vector<std::string> paths, const tracks::ReadOptions& options,
                unsigned workers, std::size_t ahead, bool measure = false);
    // Ends the workers. One still loading a track (a file that never answers) is not waited
    // for: it is left to end with the process.
    ~TrackLoader();
    TrackLoader(const TrackLoader&) = delete;
    TrackLoader& operator=(const TrackLoader&) = delete;

    // Waits for the track of trip k, or loads it on the calling thread; each trip is taken
    // once, in order. Throws only what taking it needs (std::bad_alloc); a load's own
    // failure comes with Report.
    std::unique_ptr<LoadedTrack> Take(std::size_t k);
    // Gives a track back once written, so its store's capacity serves a later load.
    void Recycle(std::unique_ptr<LoadedTrack> track);

private:
    struct Shared;  // what the workers share with the run; each worker keeps it alive

    static void Work(const std::shared_ptr<Shared>& shared);

    std::shared_ptr<Shared> shared_;
    std::vector<std::thread> workers_;
};

}  // namespace omvo::run
