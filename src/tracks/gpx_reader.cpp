#include "tracks/gpx_reader.hpp"

#include <string_view>

#include "base/console.hpp"
#include "base/errors.hpp"
#include "base/platform.hpp"
#include "base/text_file.hpp"
#include "tracks/detail/gpx_scanner.hpp"
#include "tracks/detail/point_collector.hpp"

namespace omvo::tracks {

bool ReadTrack(const std::string& path, TrackStore& store) {
    store.Reset();
    store.path = path;
    if (!base::FileExists(path)) return false;
    base::TextFile file(path);
    detail::PointCollector collector(store);
    const detail::MarkerNames names;
    detail::GpxScanner scanner(collector, names);
    std::string_view lines;
    while (file.NextLines(lines)) scanner.Scan(lines);
    scanner.Finish();
    file.Close();
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

void LoadTrack(const std::string& path, TrackStore& store) {
    bool found = false;
    std::exception_ptr failure;
    try {
        found = ReadTrack(path, store);
    } catch (...) {
        failure = std::current_exception();
    }
    ReportTrack(found, store, failure);
}

}  // namespace omvo::tracks
