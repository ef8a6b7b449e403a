#include "run/track_loader.hpp"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <utility>

#include "base/errors.hpp"
#include "base/platform.hpp"
#include "tracks/gpx_reader.hpp"

namespace omvo::run {

namespace {

// Where the load of one trip stands.
enum class SlotState : unsigned char {
    Pending,  // not taken up by a worker (that is, not below `next`), or loading
    Done,    // its result is here
    ForRun,  // the worker ran out of file descriptors: the run loads it
};

struct Slot {
    SlotState state = SlotState::Pending;
    std::unique_ptr<LoadedTrack> track;
    std::exception_ptr lost;  // a failure before a track could even be made (memory)
};

bool IsTooManyOpenFiles(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const base::InOutError& error) {
        return error.error == base::IoError::TooManyOpenFiles;
    } catch (...) {
        return false;
    }
}

// Reads the track into `track`, made when there is none, and with `measure` measures it;
// what ends the load is kept in it, or returned when no track could be made.
std::exception_ptr Load(const std::string& path, const tracks::ReadOptions& options,
                        bool measure, std::unique_ptr<LoadedTrack>& track) {
    try {
        if (track == nullptr) track = std::make_unique<LoadedTrack>();
        track->failure = nullptr;
        track->found = false;
        track->figures = {};
        track->profile = {};
        track->found = tracks::ReadTrack(path, track->store, options);
        if (measure && track->found) {
            track->figures = tracks::MeasureTrack(track->store, &track->trace);
            track->profile = tracks::MakeElevationProfile(track->trace, track->figures);
        }
    } catch (...) {
        if (track == nullptr) return std::current_exception();
        track->failure = std::current_exception();
    }
    return nullptr;
}

}  // namespace

struct TrackLoader::Shared {
    Shared(std::vector<std::string> paths, const tracks::ReadOptions& options,
           std::size_t ahead, bool measure)
        : paths(std::move(paths)),
          options(options),
          measure(measure),
          ahead(ahead < 1 ? 1 : ahead),
          slots(this->paths.size()),
          end(this->paths.size()) {}

    const std::vector<std::string> paths;
    const tracks::ReadOptions options;
    const bool measure;  // the figures of each track are wanted
    const std::size_t ahead;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Slot> slots;  // by trip
    std::vector<std::unique_ptr<LoadedTrack>> spare;
    std::size_t next = 0;   // the next trip for a worker
    std::size_t end;        // workers start no trip from here on
    std::size_t taken = 0;  // the trips taken so far
    std::size_t busy = 0;   // loads in progress on workers
    bool stopping = false;

    std::unique_ptr<LoadedTrack> SpareTrack() {
        if (spare.empty()) return nullptr;
        std::unique_ptr<LoadedTrack> track = std::move(spare.back());
        spare.pop_back();
        return track;
    }
};

void LoadedTrack::Report() const { tracks::ReportTrack(found, store, failure); }

TrackLoader::TrackLoader(std::vector<std::string> paths, const tracks::ReadOptions& options,
                         unsigned workers, std::size_t ahead, bool measure)
    : shared_(std::make_shared<Shared>(std::move(paths), options, ahead, measure)) {
    workers_.reserve(workers);
    {
        // The workers start with the stop signals blocked and keep them so.
        const base::StopSignalsHeld held;
        for (unsigned i = 0; i < workers; ++i) {
            try {
                workers_.emplace_back([shared = shared_] { Work(shared); });
            } catch (const std::system_error&) {
                break;  // the system gives no more threads: fewer do the work
            } catch (const std::bad_alloc&) {
                break;
            }
        }
    }
    if (workers_.empty()) shared_->end = 0;  // the run loads every track itself
}

TrackLoader::~TrackLoader() {
    bool idle = false;
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->stopping = true;
        idle = shared_->busy == 0;  // and none starts a load any more
    }
    shared_->changed.notify_all();
    for (std::thread& worker : workers_) {
        if (idle) {
            worker.join();
        } else {
            worker.detach();  // it keeps what it shares alive until it ends
        }
    }
}

std::unique_ptr<LoadedTrack> TrackLoader::Take(std::size_t k) {
    Shared& s = *shared_;
    std::unique_lock lock(s.mutex);
    Slot& slot = s.slots[k];
    // A trip that no worker took up and none will is the run's to load.
    s.changed.wait(lock, [&] {
        return slot.state != SlotState::Pending || (k >= s.next && k >= s.end);
    });
    std::unique_ptr<LoadedTrack> track = std::move(slot.track);
    if (slot.state != SlotState::Done) {
        // Loaded here, as a one-thread run loads it, once the workers have let go of their
        // files.
        s.changed.wait(lock, [&] { return s.busy == 0; });
        if (track == nullptr) track = s.SpareTrack();
        lock.unlock();
        const std::exception_ptr lost = Load(s.paths[k], s.options, s.measure, track);
        if (lost) std::rethrow_exception(lost);
        lock.lock();
    }
    s.taken = k + 1;
    lock.unlock();
    s.changed.notify_all();
    if (slot.lost) std::rethrow_exception(slot.lost);
    return track;
}

void TrackLoader::Recycle(std::unique_ptr<LoadedTrack> track) {
    const std::lock_guard lock(shared_->mutex);
    shared_->spare.push_back(std::move(track));
}

void TrackLoader::Work(const std::shared_ptr<Shared>& shared) {
    Shared& s = *shared;
    std::unique_lock lock(s.mutex);
    for (;;) {
        s.changed.wait(lock, [&] {
            return s.stopping || (s.next < s.end && s.next < s.taken + s.ahead);
        });
        if (s.stopping) return;
        const std::size_t k = s.next++;
        std::unique_ptr<LoadedTrack> track = s.SpareTrack();
        ++s.busy;
        lock.unlock();
        const std::exception_ptr lost = Load(s.paths[k], s.options, s.measure, track);
        lock.lock();
        --s.busy;
        Slot& slot = s.slots[k];
        // Out of file descriptors, the run loads this track and every later one itself, one
        // at a time.
        const bool forRun =
            track != nullptr && track->failure && IsTooManyOpenFiles(track->failure);
        slot.state = forRun ? SlotState::ForRun : SlotState::Done;
        slot.track = std::move(track);
        slot.lost = lost;
        // The run stops at a missing or failed track: nothing after it is worth loading.
        if (lost || !slot.track->found || slot.track->failure) s.end = std::min(s.end, k + 1);
        s.changed.notify_all();
    }
}

}  // namespace omvo::run
