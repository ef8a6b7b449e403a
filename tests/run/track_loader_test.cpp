#include "run/track_loader.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/errors.hpp"
#include "support/temp_dir.hpp"

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

TEST(TrackLoader, ReportsAMissingFileAsTheRunStopItIs) {
    omvo::test::TempDir dir;
    TrackLoader loader({dir.File("gone.gpx")}, {}, 2, 2);
    const std::unique_ptr<LoadedTrack> track = loader.Take(0);
    ::testing::internal::CaptureStdout();
    EXPECT_THROW(track->Report(), base::RunStop);
    const std::string console = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(console.find(dir.File("gone.gpx")), std::string::npos);
}

}  // namespace
}  // namespace omvo::run
