#include "tracks/gpx_reader.hpp"

#include <string_view>

#include "base/console.hpp"
#include "base/errors.hpp"
#include "base/platform.hpp"
#include "base/text_file.hpp"
#include "tracks/detail/gpx_scanner.hpp"
#include "tracks/detail/point_collector.hpp"

namespace omvo::tracks {

namespace {

// Reads the points of the given elements into the store.
void ReadPoints(const std::string& path, TrackStore& store, const detail::PointElements& elements,
                const ReadOptions& options) {
    base::TextFile file(path, base::FileDecoding::Utf16ByMark);
    detail::PointCollector collector(store, elements, options.isoTimes);
    detail::MarkerNames names(elements, options.cutGaps);
    detail::GpxScanner scanner(collector, names);
    std::string_view lines;
    while (file.NextLines(lines)) scanner.Scan(lines);
    scanner.Finish();
    file.Close();
}

}  // namespace

bool ReadTrack(const std::string& path, TrackStore& store, const ReadOptions& options) {
    store.Reset();
    store.path = path;
    if (!base::FileExists(path)) return false;
    ReadPoints(path, store, detail::kTrackElements, options);
    if (store.points.empty() && options.routes) {
        // Nothing was stored, so the store is as a fresh load leaves it.
        ReadPoints(path, store, detail::kRouteElements, options);
        if (!store.points.empty()) {
            store.warnings.push_back(path + ": no track point; its route points are drawn instead");
            return true;
        }
    }
    if (store.points.empty()) {
        store.warnings.push_back(path + ": no track point; the trip adds no placemark");
    }
    return true;
}

void ReportTrack(bool found, const TrackStore& store, std::exception_ptr failure) {
    for (const std::string& warning : store.warnings) base::Warning(warning);
    if (failure) std::rethrow_exception(failure);
    if (!found) {
        base::ConsoleText("Файл ");
        base::ConsoleBytes(store.path);
        base::ConsoleText(" не найден!\r\n");
        throw base::RunStop(1);
    }
}

void LoadTrack(const std::string& path, TrackStore& store, const ReadOptions& options) {
    bool found = false;
    std::exception_ptr failure;
    try {
        found = ReadTrack(path, store, options);
    } catch (...) {
        failure = std::current_exception();
    }
    ReportTrack(found, store, failure);
}

}  // namespace omvo::tracks
