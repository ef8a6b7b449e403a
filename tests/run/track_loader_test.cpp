#include "run/track_loader.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "base/errors.hpp"
#include "base/platform.hpp"
#include "support/temp_dir.hpp"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace omvo::run {
namespace {

TEST(TrackLoader, GivesEveryTrackInTripOrderAndSaysNothingUntilItIsReported) {
    omvo::test::TempDir dir;
    std::vector<std::string> paths;
    for (int k = 0; k < 6; ++k) {
        std::string gpx;
        for (int i = 0; i <= k; ++i) {
            gpx += "<trkpt lat=\"54." + std::to_string(i) + "\" lon=\"20.5\"/>\n";
        }
        if (k == 2) gpx = "<trkpt lat=\"x\" lon=\"20.5\"/>\n";  // a warning, no point
        paths.push_back(k == 4 ? dir.File("missing.gpx") : dir.Write("t" + std::to_string(k), gpx));
    }
    for (const auto& [workers, ahead] : {std::pair{1u, 1u}, std::pair{2u, 3u}, std::pair{4u, 2u}}) {
        SCOPED_TRACE(std::to_string(workers) + " workers, " + std::to_string(ahead) + " ahead");
        ::testing::internal::CaptureStderr();
        TrackLoader loader(paths, {}, workers, ahead);
        for (std::size_t k = 0; k < paths.size(); ++k) {
            std::unique_ptr<LoadedTrack> track = loader.Take(k);
            EXPECT_EQ(track->store.path, paths[k]);
            EXPECT_EQ(track->found, k != 4);
            const std::size_t points = k == 2 || k == 4 ? 0 : k + 1;
            EXPECT_EQ(track->store.pointCount(), points);
            EXPECT_EQ(track->store.warnings.size(), k == 2 ? 2u : 0u);  // the point, the file
            loader.Recycle(std::move(track));
        }
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    }
}

// The figures are the same whichever thread measured them, and measured only when asked for.
TEST(TrackLoader, MeasuresEveryTrackWhenAskedOnWhicheverThreadLoadsIt) {
    omvo::test::TempDir dir;
    std::vector<std::string> paths;
    for (int k = 0; k < 5; ++k) {
        std::string gpx;
        for (int i = 0; i <= 100 * k; ++i) {
            gpx += "<trkpt lat=\"54." + std::to_string(1000 + i) + "\" lon=\"20.5\"><ele>" +
                   std::to_string(i % 20) + "</ele></trkpt>\n";
        }
        paths.push_back(dir.Write("t" + std::to_string(k), gpx));
    }
    std::vector<tracks::TrackFigures> once;
    for (const auto& [workers, measure] : {std::pair{0u, true}, std::pair{1u, true},
                                           std::pair{3u, true}, std::pair{2u, false}}) {
        SCOPED_TRACE(std::to_string(workers) + " workers");
        TrackLoader loader(paths, {}, workers, 2, measure);
        for (std::size_t k = 0; k < paths.size(); ++k) {
            std::unique_ptr<LoadedTrack> track = loader.Take(k);
            const tracks::TrackFigures& f = track->figures;
            EXPECT_EQ(track->profile.samples.empty(), !measure || k == 0);
            if (!measure) {
                EXPECT_EQ(f.segmentCount, 0);
            } else if (workers == 0) {
                once.push_back(f);
                EXPECT_NEAR(f.lengthKm, 100 * k * 0.01113, 0.001 * k);
                EXPECT_EQ(f.climbM, 95.0 * k);  // a rise of 19 m every 20 points
            } else {
                EXPECT_EQ(f.lengthKm, once[k].lengthKm);
                EXPECT_EQ(f.climbM, once[k].climbM);
            }
            loader.Recycle(std::move(track));
        }
    }
}

TEST(TrackLoader, ReportsAMissingFileAsTheRunStopItIs) {
    omvo::test::TempDir dir;
    TrackLoader loader({dir.File("gone.gpx")}, {}, 2, 2);
    const std::unique_ptr<LoadedTrack> track = loader.Take(0);
    ::testing::internal::CaptureStdout();
    EXPECT_THROW(track->Report(), base::RunStop);
    const std::string console = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(console.find(dir.File("gone.gpx")), std::string::npos);
}

#ifndef _WIN32
// A FIFO without a writer: opening it for reading waits until one comes, as a file on a
// hung network mount does. True when a reader has it open (a load that started).
bool SomeoneReads(const std::string& fifo) {
    const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);  // ENXIO without a reader
    if (fd == -1) return false;
    close(fd);  // the reader then sees the end of the file and its load ends
    return true;
}

TEST(TrackLoader, ReportsAWorkersReadFailureInTripOrderAndLoadsNothingAfterIt) {
    omvo::test::TempDir dir;
    const std::string fifo = dir.File("never.gpx");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Reading this file fails with EIO: nothing is mapped at its first address.
    const std::vector<std::string> paths = {dir.Write("t0", "<trkpt lat=\"54\" lon=\"20\"/>\n"),
                                            "/proc/self/mem", fifo};
    {
        // One worker loads ahead of the run as far as it may: trips 0 and 1, not 2.
        TrackLoader loader(paths, {}, 1, 5);
        std::unique_ptr<LoadedTrack> track = loader.Take(0);
        EXPECT_NO_THROW(track->Report());
        loader.Recycle(std::move(track));
        track = loader.Take(1);
        try {
            track->Report();
            FAIL() << "no error";
        } catch (const base::InOutError& error) {
            EXPECT_EQ(error.error, base::IoError::Other);
            EXPECT_STREQ(error.what(), "I/O error 5");
            EXPECT_EQ(error.path, "/proc/self/mem");
        }
    }
    EXPECT_FALSE(SomeoneReads(fifo));
}

// True once `count` threads of this process wait in the open of a FIFO for a writer, as
// the kernel shows it; false when they do not within seconds.
bool ThreadsWaitAtFifos(int count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    do {
        int waiting = 0;
        for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
            std::ifstream wchan(task.path() / "wchan");
            std::string function;
            waiting += std::getline(wchan, function) && function == "wait_for_partner";
        }
        if (waiting == count) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

TEST(TrackLoader, LeavesAWorkerThatWaitsForAFileWhenTheRunStops) {
    omvo::test::TempDir dir;
    const std::string first = dir.File("first.gpx");
    const std::string never = dir.File("never.gpx");
    ASSERT_EQ(mkfifo(first.c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(never.c_str(), 0600), 0);
    {
        TrackLoader loader({first, never}, {}, 2, 2);
        // Both workers wait in the open of their file; the first one's writer comes and goes
        // at once: an empty track, which the run takes.
        ASSERT_TRUE(ThreadsWaitAtFifos(2));
        EXPECT_TRUE(SomeoneReads(first));
        ::testing::internal::CaptureStderr();
        EXPECT_NO_THROW(loader.Take(0)->Report());
        ::testing::internal::GetCapturedStderr();
        ASSERT_TRUE(ThreadsWaitAtFifos(1));
        // The run stops here: the loader must not wait for the other worker when it goes.
    }
    EXPECT_TRUE(SomeoneReads(never));  // lets the worker left waiting end
}
#endif

}  // namespace
}  // namespace omvo::run
