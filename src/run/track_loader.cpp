#include "run/track_loader.hpp"

#include <utility>

#include "base/platform.hpp"
#include "tracks/gpx_reader.hpp"

namespace omvo::run {

void LoadedTrack::Report() const { tracks::ReportTrack(found, store, failure); }

TrackLoader::TrackLoader(std::vector<std::string> paths, const tracks::ReadOptions& options,
                         unsigned workers, std::size_t ahead)
    : paths_(std::move(paths)),
      options_(options),
      ahead_(ahead < 1 ? 1 : ahead),
      loaded_(paths_.size()) {
    try {
        for (unsigned i = 0; i < (workers < 1 ? 1 : workers); ++i) {
            workers_.emplace_back([this] { Work(); });
        }
    } catch (...) {
        Stop();
        throw;
    }
}

TrackLoader::~TrackLoader() { Stop(); }

void TrackLoader::Stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_) worker.join();
    workers_.clear();
}

std::unique_ptr<LoadedTrack> TrackLoader::Take(std::size_t k) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return loaded_[k] != nullptr; });
    std::unique_ptr<LoadedTrack> track = std::move(loaded_[k]);
    taken_ = k + 1;
    lock.unlock();
    changed_.notify_all();
    return track;
}

void TrackLoader::Recycle(std::unique_ptr<LoadedTrack> track) {
    const std::lock_guard lock(mutex_);
    spare_.push_back(std::move(track));
}

void TrackLoader::Work() {
    base::KeepStopSignalsFromThisThread();
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] {
            return stopping_ || (next_ < paths_.size() && next_ < taken_ + ahead_);
        });
        if (stopping_) return;
        const std::size_t k = next_++;
        std::unique_ptr<LoadedTrack> track;
        if (spare_.empty()) {
            track = std::make_unique<LoadedTrack>();
        } else {
            track = std::move(spare_.back());
            spare_.pop_back();
        }
        lock.unlock();
        track->failure = nullptr;
        track->found = false;
        try {
            track->found = tracks::ReadTrack(paths_[k], track->store, options_);
        } catch (...) {
            track->failure = std::current_exception();
        }
        lock.lock();
        loaded_[k] = std::move(track);
        changed_.notify_all();
    }
}

}  // namespace omvo::run
