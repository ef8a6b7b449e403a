#pragma once
// Loading the trips' tracks ahead on worker threads, while the run thins and writes them in
// trip order. Everything the user sees of a load happens when the run takes its track, so a
// run looks the same as one that loads each track when it comes to it.

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tracks/gpx_reader.hpp"
#include "tracks/track_store.hpp"

namespace omvo::run {

struct LoadedTrack {
    tracks::TrackStore store;
    bool found = false;          // a file was there
    std::exception_ptr failure;  // what ended the load, to be thrown in trip order

    // The console side of the load: its warnings, then its failure or the missing file.
    void Report() const;
};

class TrackLoader {
public:
    // Starts loading the files in order on `workers` threads; at most `ahead` tracks are
    // loaded or loading beyond those taken, so memory stays bounded.
    TrackLoader(std::vector<std::string> paths, const tracks::ReadOptions& options,
                unsigned workers, std::size_t ahead);
    // Stops the workers after their current file.
    ~TrackLoader();
    TrackLoader(const TrackLoader&) = delete;
    TrackLoader& operator=(const TrackLoader&) = delete;

    // Waits for the track of trip k; each trip is taken once, in order.
    std::unique_ptr<LoadedTrack> Take(std::size_t k);
    // Gives a track back once written, so its store's capacity serves a later load.
    void Recycle(std::unique_ptr<LoadedTrack> track);

private:
    void Work();
    void Stop();

    const std::vector<std::string> paths_;
    const tracks::ReadOptions options_;
    const std::size_t ahead_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::unique_ptr<LoadedTrack>> loaded_;  // by trip, until taken
    std::vector<std::unique_ptr<LoadedTrack>> spare_;
    std::size_t next_ = 0;   // the next trip to load
    std::size_t taken_ = 0;  // the trips taken so far
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace omvo::run
