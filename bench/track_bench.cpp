// Loading, measuring (the web page's figures) and thinning speed on generated GPX files: a
// 20 000-point track in the common layout (one element per line) and a 200 000-point track,
// once with one element per line and once as a single line.

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "base/output_file.hpp"
#include "tracks/gpx_reader.hpp"
#include "tracks/thinning.hpp"
#include "tracks/track_figures.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double sink = 0.0;  // what the figures gave, so they are not left uncomputed

// A wandering ride inside the home region, one point per second, at about 20 km/h.
std::string MakeGpx(int points, bool oneLine) {
    const char* nl = oneLine ? "" : "\n";
    std::string gpx = std::string("<?xml version=\"1.0\"?>") + nl +
                      "<gpx version=\"1.1\" creator=\"bench\">" + nl + "<trk><trkseg>" + nl;
    double lat = 54.7, lon = 20.5, heading = 0.0;
    char buf[256];
    for (int i = 0; i < points; ++i) {
        heading += std::sin(i * 0.01) * 0.2;
        lat += 0.00005 * std::cos(heading);
        lon += 0.00008 * std::sin(heading);
        const int t = i;
        std::snprintf(buf, sizeof buf,
                      "  <trkpt lat=\"%.7f\" lon=\"%.7f\">%s    <ele>%.1f</ele>%s"
                      "    <time>2012-05-%02dT%02d:%02d:%02dZ</time>%s  </trkpt>%s",
                      lat, lon, nl, 20.0 + std::sin(i * 0.001) * 10.0, nl, 1 + t / 86400,
                      t / 3600 % 24, t / 60 % 60, t % 60, nl, nl);
        gpx += buf;
    }
    gpx += std::string("</trkseg></trk>") + nl + "</gpx>" + nl;
    return gpx;
}

void Run(const char* name, int points, bool oneLine, int rounds) {
    const std::string path = std::string("/tmp/omvo_track_bench_") + name + ".gpx";
    {
        std::remove(path.c_str());  // the file is made anew
        omvo::base::OutputFile out(path);
        out.Write(MakeGpx(points, oneLine));
        out.Close();
    }
    omvo::tracks::TrackStore store;
    omvo::tracks::ElevationTrace trace;
    double loadSeconds = 0.0, figuresSeconds = 0.0, thinSeconds = 0.0;
    std::size_t loaded = 0, left = 0;
    for (int r = 0; r < rounds; ++r) {
        const auto t0 = Clock::now();
        omvo::tracks::LoadTrack(path, store);
        const auto t1 = Clock::now();
        loaded = store.pointCount();
        const omvo::tracks::TrackFigures figures = omvo::tracks::MeasureTrack(store, &trace);
        const omvo::tracks::ElevationProfile profile =
            omvo::tracks::MakeElevationProfile(trace, figures);
        const auto t2 = Clock::now();
        omvo::tracks::ThinTrack(store, 5.0, 15.0);
        const auto t3 = Clock::now();
        left = store.pointCount();
        sink += figures.lengthKm + static_cast<double>(profile.samples.size());
        loadSeconds += std::chrono::duration<double>(t1 - t0).count();
        figuresSeconds += std::chrono::duration<double>(t2 - t1).count();
        thinSeconds += std::chrono::duration<double>(t3 - t2).count();
    }
    std::printf("%-22s %7zu points (%zu after thinning): load %7.3f ms, %6.1f M points/s; "
                "figures %6.3f ms (%4.1f %% of the load); thin %7.3f ms, %6.1f M points/s\n",
                name, loaded, left, loadSeconds / rounds * 1e3,
                loaded * rounds / loadSeconds / 1e6, figuresSeconds / rounds * 1e3,
                100.0 * figuresSeconds / loadSeconds, thinSeconds / rounds * 1e3,
                loaded * rounds / thinSeconds / 1e6);
    std::remove(path.c_str());
}

}  // namespace

int main() {
    Run("20k-lines", 20000, false, 50);
    Run("200k-lines", 200000, false, 5);
    Run("200k-one-line", 200000, true, 5);
    return sink < 0.0 ? 1 : 0;
}
