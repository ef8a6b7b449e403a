#include "tracks/track_figures.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

namespace omvo::tracks {
namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
constexpr double kKmPerDegMeridian55 = 111.31428472;  // near 55° N, for building tracks
constexpr std::int64_t kStart = 1335866400;          // 2012-05-01T10:00:00Z

// A point of a test track: degrees, its own elevation in metres (kNone: none, "0" stored in
// its place as the reader does), its time in seconds after kStart (kNone: none).
struct Fix {
    double lat, lon;
    double ele = kNone;
    double t = kNone;
    bool segmentStart = false;
};

TrackStore Store(const std::vector<Fix>& fixes) {
    TrackStore store;
    for (const Fix& f : fixes) {
        TrackPoint& p = store.points.emplace_back();
        p.latValue = f.lat;
        p.lonValue = f.lon;
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", f.ele);
        p.hasEle = !std::isnan(f.ele);
        p.ele.assign(p.hasEle ? text : "0");
        if (!std::isnan(f.t)) {
            const double whole = std::floor(f.t);
            p.SetTime({TimeKind::Valid, kStart + static_cast<std::int64_t>(whole),
                       static_cast<std::int32_t>(std::lround((f.t - whole) * 1e9))});
        }
        p.kept = true;
        p.segmentStart = f.segmentStart || store.points.size() == 1;
        if (p.segmentStart) ++store.segmentCount;
    }
    return store;
}

// Appends `count` fixes after the last one (or from 55° N 20° E), each `metres` further north
// and `seconds` later, with the elevation `ele(i)` of the i-th of them; the first starts a
// segment when asked.
void North(std::vector<Fix>& fixes, int count, double metres, double seconds,
           const std::function<double(int)>& ele, bool newSegment = false) {
    Fix f = fixes.empty() ? Fix{55.0, 20.0, 0.0, 0.0} : fixes.back();
    for (int i = 0; i < count; ++i) {
        f.lat += metres / 1000.0 / kKmPerDegMeridian55;
        f.t = std::isnan(seconds) ? kNone : (std::isnan(f.t) ? 0.0 : f.t) + seconds;
        f.ele = ele(i);
        f.segmentStart = newSegment && i == 0;
        fixes.push_back(f);
    }
}

// A deterministic jitter in [-amplitude, amplitude].
struct Jitter {
    std::uint32_t state = 12345;
    double operator()(double amplitude) {
        state = state * 1664525u + 1013904223u;
        return ((state >> 8) / double(1 << 24) * 2.0 - 1.0) * amplitude;
    }
};

// The reference lengths: a degree of the parallel at 55° N is π/180 · a cos φ / √(1 − e²
// sin² φ); the meridian arc from 54° N to 55° N and the geodesic from Kaliningrad to Gdańsk
// (Vincenty's inverse formula) were worked out apart from the tool, on the WGS84 ellipsoid.
TEST(TrackFigures, MeasuresTheLengthOnTheEllipsoidSegmentBySegment) {
    // `fixes` and after them a new segment along a parallel, in `steps` legs.
    const auto parallel = [](std::vector<Fix> fixes, double lat, double lon1, double lon2,
                             int steps) {
        for (int i = 0; i <= steps; ++i) {
            fixes.push_back({lat, lon1 + (lon2 - lon1) * i / steps, kNone, kNone, i == 0});
        }
        return fixes;
    };
    std::vector<Fix> meridian;
    for (int i = 0; i <= 1000; ++i) meridian.push_back({54.0 + i / 1000.0, 20.0});
    const struct {
        const char* name;
        std::vector<Fix> fixes;
        double km, tolerance;
        int segments;
    } cases[] = {
        {"a degree of the parallel at 55° N", parallel({}, 55.0, 20.0, 21.0, 1000), 63.99412930,
         0.0001, 1},
        {"the meridian from 54° N to 55° N", meridian, 111.31428472, 0.0001, 1},
        {"Kaliningrad to Gdańsk in one leg", {{54.7104, 20.4522}, {54.3520, 18.6466}},
         123.50748928, 0.005, 1},
        {"no line across the gap between segments",
         parallel(parallel({}, 55.0, 20.0, 20.1, 100), 55.0, 20.3, 20.4, 100), 2 * 6.399412930,
         0.001, 2},
        {"across the 180th meridian on the equator, back and forth",
         {{0.0, 179.95}, {0.0, -179.95}, {0.0, 179.95}}, 2 * 11.13194908, 0.001, 1},
        {"standing still", std::vector<Fix>(50, Fix{54.7, 20.5}), 0.0, 0.0, 1},
        {"no point", {}, 0.0, 0.0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TrackFigures figures = MeasureTrack(Store(c.fixes));
        EXPECT_NEAR(figures.lengthKm, c.km, c.tolerance);
        EXPECT_EQ(figures.segmentCount, c.segments);
    }
}

// 10 km north in 1000 legs of 10 m, elevations from a profile of the distance in km.
std::vector<Fix> Hill(const std::function<double(double)>& metresAtKm, Jitter* jitter = nullptr,
                      double amplitude = 0.0) {
    std::vector<Fix> fixes;
    North(fixes, 1001, 10.0, kNone, [&](int i) {
        return metresAtKm(i / 100.0) + (jitter != nullptr ? (*jitter)(amplitude) : 0.0);
    });
    return fixes;
}

// Up 100 m, down 60 m, up 30 m, in even ramps over the 10 km.
double Ramps(double km) {
    if (km < 4.0) return 20.0 + 25.0 * km;
    if (km < 7.0) return 120.0 - 20.0 * (km - 4.0);
    return 60.0 + 10.0 * (km - 7.0);
}

// From 0 up to 1 and back every kilometre.
double Bumps(double km) { return std::fabs(std::sin(km * std::numbers::pi)); }

TEST(TrackFigures, CountsClimbFromTurnToTurnOfTheOwnElevations) {
    Jitter jitter;
    std::vector<Fix> twoLevels;
    North(twoLevels, 100, 10.0, kNone, [](int) { return 0.0; });
    North(twoLevels, 100, 10.0, kNone, [](int) { return 200.0; }, true);
    for (std::size_t i = 100; i < twoLevels.size(); ++i) twoLevels[i].lat += 0.1;  // 11 km on
    std::vector<Fix> lateElevations = Hill([](double) { return 100.0; });
    for (int i = 0; i < 10; ++i) lateElevations[i].ele = kNone;  // stored as "0"
    std::vector<Fix> glitch = Hill([](double) { return 30.0; });
    glitch[500].ele = 99999.0;
    const struct {
        const char* name;
        std::vector<Fix> fixes;
        double climb, descent, tolerance;
        bool hasElevations;
    } cases[] = {
        {"ramps up 100, down 60, up 30", Hill(Ramps), 130.0, 60.0, 1e-9, true},
        // Each counted rise or fall runs from a turn to a turn, each off by the jitter at most.
        {"the same with ±2 m of jitter at every fix", Hill(Ramps, &jitter, 2.0), 130.0, 60.0,
         8.0, true},
        {"a flat road with ±2 m of jitter", Hill([](double) { return 50.0; }, &jitter, 2.0),
         0.0, 0.0, 0.0, true},
        {"ten real bumps of 6 m count whole", Hill([](double km) { return 6.0 * Bumps(km); }),
         60.0, 60.0, 0.1, true},
        {"bumps of 4 m are taken for jitter", Hill([](double km) { return 4.0 * Bumps(km); }),
         0.0, 0.0, 0.0, true},
        {"no climb across the gap between segments", twoLevels, 0.0, 0.0, 0.0, true},
        {"points without an elevation of their own are not at 0 m", lateElevations, 0.0, 0.0,
         0.0, true},
        {"an elevation beyond 10 000 m is none", glitch, 0.0, 0.0, 0.0, true},
        {"no point has an elevation", Hill([](double) { return kNone; }), 0.0, 0.0, 0.0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TrackFigures figures = MeasureTrack(Store(c.fixes));
        EXPECT_NEAR(figures.climbM, c.climb, c.tolerance);
        EXPECT_NEAR(figures.descentM, c.descent, c.tolerance);
        EXPECT_EQ(figures.hasElevations, c.hasElevations);
    }
}

// A ride north at `kmh`, a fix every `every` seconds for `seconds`.
void Ride(std::vector<Fix>& fixes, double seconds, double kmh, double every = 1.0,
          bool newSegment = false) {
    North(fixes, static_cast<int>(seconds / every), kmh / 3.6 * every, every,
          [](int) { return kNone; }, newSegment);
}

// A stop of `seconds`, a fix a second, the position jittering by up to `metres` each way.
void Stop(std::vector<Fix>& fixes, double seconds, double metres, Jitter& jitter) {
    const Fix here = fixes.back();
    for (int i = 1; i <= seconds; ++i) {
        fixes.push_back({here.lat + jitter(metres) / 1000.0 / kKmPerDegMeridian55,
                         here.lon + jitter(metres) / 1000.0 / 64.0, kNone, here.t + i});
    }
}

TEST(TrackFigures, CountsMovingAndTotalTimeWithoutPausesAndGaps) {
    Jitter jitter;
    std::vector<Fix> hour;
    Ride(hour, 3600, 20.0);
    std::vector<Fix> stop = hour;
    Stop(stop, 600, 3.0, jitter);
    Ride(stop, 1800, 20.0);
    std::vector<Fix> pause = hour;  // the receiver paused 20 minutes and moved 30 m
    pause.push_back(pause.back());
    pause.back().t += 1200;
    pause.back().lat += 0.03 / kKmPerDegMeridian55;
    Ride(pause, 1800, 20.0);
    std::vector<Fix> tunnel = hour;  // no fix for 5 minutes while riding on
    Ride(tunnel, 300, 20.0, 300.0);
    std::vector<Fix> segments = hour;  // a second segment 2 hours and 10 km later
    Ride(segments, 1800, 20.0, 1.0, true);
    for (std::size_t i = 3600; i < segments.size(); ++i) {
        segments[i].t += 7200;
        segments[i].lat += 10.0 / kKmPerDegMeridian55;
    }
    std::vector<Fix> backwards = hour;
    for (std::size_t i = 0; i < backwards.size(); ++i) backwards[i].t = 3600.0 - i;
    std::vector<Fix> untimed = hour;
    for (Fix& f : untimed) f.t = kNone;
    std::vector<Fix> oneTimePerSegment = segments;
    for (std::size_t i = 0; i < oneTimePerSegment.size(); ++i) {
        if (i != 0 && i != 3600) oneTimePerSegment[i].t = kNone;
    }
    std::vector<Fix> walking, creeping;  // a fix every 5 seconds
    Ride(walking, 600, 4.0, 5.0);
    Ride(creeping, 600, 1.0, 5.0);
    std::vector<Fix> fractions;
    Ride(fractions, 60, 20.0, 0.25);
    const struct {
        const char* name;
        std::vector<Fix> fixes;
        double moving, total, tolerance;
        bool hasTimes;
    } cases[] = {
        {"an hour at 20 km/h, a fix a second", hour, 3599, 3599, 0.0, true},
        // The spans around the stop are judged whole: a few seconds either way.
        {"a stop of 10 minutes, the receiver drifting 3 m", stop, 3599 + 1800, 3599 + 600 + 1800,
         20.0, true},
        {"a pause of 20 minutes without fixes", pause, 3599 + 1800, 3599 + 1200 + 1800, 0.0, true},
        {"no fix for 5 minutes while riding on", tunnel, 3599 + 300, 3599 + 300, 0.0, true},
        {"the gap between segments counts nowhere", segments, 3599 + 1799, 3599 + 1799, 0.0,
         true},
        {"times running backwards count nothing", backwards, 0, 0, 0.0, true},
        {"walking the bike at 4 km/h is moving", walking, 595, 595, 0.0, true},
        {"creeping at 1 km/h is standing", creeping, 0, 595, 0.0, true},
        {"fractions of a second", fractions, 59.75, 59.75, 1e-9, true},
        {"no times", untimed, 0, 0, 0.0, false},
        {"one time in each segment", oneTimePerSegment, 0, 0, 0.0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TrackFigures figures = MeasureTrack(Store(c.fixes));
        EXPECT_NEAR(figures.movingSeconds, c.moving, c.tolerance);
        EXPECT_NEAR(figures.totalSeconds, c.total, c.tolerance);
        EXPECT_EQ(figures.hasTimes, c.hasTimes);
    }
}

// The elevations a profile's characters stand for; kNone for no elevation, and a break as
// kNone too, marked in `breaks`.
std::vector<double> Decode(const ElevationProfile& profile, std::vector<int>* breaks = nullptr) {
    std::vector<double> values;
    for (const char c : profile.samples) {
        if (c == kProfileBreak) {
            if (breaks != nullptr) breaks->push_back(static_cast<int>(values.size()));
            continue;
        }
        const std::size_t level = kProfileDigits.find(c);
        values.push_back(level == std::string_view::npos
                             ? kNone
                             : profile.lowM + level * (profile.highM - profile.lowM) / 63.0);
    }
    return values;
}

TEST(ElevationProfile, SamplesEqualStepsAndBreaksBetweenSegments) {
    // 10 km from 0 m up to 100 m, then 10 km apart a flat second segment at 50 m.
    std::vector<Fix> ramp;
    North(ramp, 1001, 10.0, kNone, [](int i) { return i / 10.0; });
    std::vector<Fix> twoSegments = ramp;
    North(twoSegments, 1001, 10.0, kNone, [](int) { return 50.0; }, true);
    for (std::size_t i = 1001; i < twoSegments.size(); ++i) {
        twoSegments[i].lat += 10.0 / kKmPerDegMeridian55;
    }
    std::vector<Fix> middleWithout = twoSegments;  // a third segment, without elevations
    North(middleWithout, 1001, 10.0, kNone, [](int) { return 80.0; }, true);
    for (std::size_t i = 1001; i < 2002; ++i) middleWithout[i].ele = kNone;
    std::vector<Fix> lonePointFirst = {Fix{55.0, 20.0}};  // a segment of no length before
    North(lonePointFirst, 1001, 10.0, kNone, [](int i) { return i / 10.0; }, true);
    std::vector<Fix> lateStart = ramp, earlyEnd = ramp;
    for (int i = 0; i < 250; ++i) lateStart[i].ele = kNone;
    for (int i = 751; i <= 1000; ++i) earlyEnd[i].ele = kNone;
    const struct {
        const char* name;
        std::vector<Fix> fixes;
        int low, high;
        std::vector<int> breaks;  // before these places
        const char* pattern;      // '#' a value, '.' none; empty: no profile
    } cases[] = {
        {"a ramp", ramp, 0, 100, {},
         "############################################################"},
        // The scale is that of the places: the last one before the break is short of the top.
        {"two segments", twoSegments, 0, 99, {30},
         "############################################################"},
        {"a middle segment without elevations", middleWithout, 0, 97, {20, 40},
         "####################....................####################"},
        {"a first segment of one point without elevation", lonePointFirst, 0, 100, {},
         "############################################################"},
        {"no elevation before the first quarter", lateStart, 25, 100, {},
         "...............#############################################"},
        {"no elevation after the third quarter", earlyEnd, 0, 75, {},
         "#############################################..............."},
        {"no elevations", Hill([](double) { return kNone; }), 0, 0, {}, ""},
        {"no length", std::vector<Fix>(5, Fix{54.7, 20.5, 10.0}), 0, 0, {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ElevationTrace trace;
        const TrackFigures figures = MeasureTrack(Store(c.fixes), &trace);
        const ElevationProfile profile = MakeElevationProfile(trace, figures);
        std::vector<int> breaks;
        const std::vector<double> values = Decode(profile, &breaks);
        std::string pattern;
        for (const double v : values) pattern += std::isnan(v) ? '.' : '#';
        EXPECT_EQ(pattern, c.pattern);
        EXPECT_EQ(breaks, c.breaks);
        if (values.empty()) continue;
        EXPECT_EQ(profile.lowM, c.low);
        EXPECT_EQ(profile.highM, c.high);
        EXPECT_NEAR(profile.stepKm * (kProfileSlots - 1), figures.lengthKm, 1e-9);
        // Each place within half a level of its segment's elevation there.
        for (std::size_t k = 0; k < values.size(); ++k) {
            if (std::isnan(values[k])) continue;
            const auto segment = std::count_if(breaks.begin(), breaks.end(),
                                               [&](int b) { return b <= static_cast<int>(k); });
            const double expected =
                segment == 0 ? 10.0 * k * profile.stepKm : segment == 1 ? 50.0 : 80.0;
            EXPECT_NEAR(values[k], expected, (c.high - c.low) / 126.0 + 0.01) << "place " << k;
        }
    }
}

// Writes the figures, the dates and the profile the way the page's data carries them, as
// compactly as JSON allows: "f":[km×10,climb,descent,moving s,total s,segments,days,year],
// "p":[low,high,"samples"].
std::string PageData(const TrackFigures& f, const ElevationProfile& p) {
    char text[512];
    std::snprintf(text, sizeof text, ",\"f\":[%ld,%ld,%ld,%ld,%ld,%d,%d,%d],\"p\":[%d,%d,\"%s\"]",
                  std::lround(f.lengthKm * 10), std::lround(f.climbM), std::lround(f.descentM),
                  std::lround(f.movingSeconds), std::lround(f.totalSeconds), f.segmentCount, 21,
                  2012, p.lowM, p.highM, p.samples.c_str());
    return text;
}

TEST(ElevationProfile, KeepsATripsFiguresWithinTwoHundredBytesOfThePage) {
    Jitter jitter;
    std::vector<Fix> hour;  // an hour's ride, a fix a second, hilly
    North(hour, 3600, 5.5, 1.0,
          [&](int i) { return 100.0 + 40.0 * std::sin(i / 300.0) + jitter(1.0); });
    std::vector<Fix> tour;  // three weeks, 21 segments of 100 km each, up to 2 000 m
    for (int day = 0; day < 21; ++day) {
        North(tour, 2000, 50.0, 3600.0 * 24 * 21 / 42000, [&](int i) {
            return 1000.0 + 1000.0 * std::sin((day * 2000 + i) / 700.0);
        }, true);
    }
    std::vector<Fix> shreds;  // 300 segments of 100 m each
    for (int s = 0; s < 300; ++s) {
        North(shreds, 10, 10.0, 1.0, [&](int i) { return -500.0 + 17.0 * ((s + i) % 7); }, true);
    }
    for (const auto& [name, fixes] : {std::pair{"an hour", hour}, std::pair{"a tour", tour},
                                      std::pair{"300 segments", shreds}}) {
        SCOPED_TRACE(name);
        ElevationTrace trace;
        const TrackFigures figures = MeasureTrack(Store(fixes), &trace);
        const ElevationProfile profile = MakeElevationProfile(trace, figures);
        EXPECT_EQ(Decode(profile).size(), static_cast<std::size_t>(kProfileSlots));
        EXPECT_LE(PageData(figures, profile).size(), 200u) << PageData(figures, profile);
    }
}

}  // namespace
}  // namespace omvo::tracks
