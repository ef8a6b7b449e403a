#include "tracks/gpx_reader.hpp"

namespace omvo::tracks {

void LoadTrack(const std::string&, TrackStore& store) { store.Reset(); }  // TODO
bool IsNumberChar(char c) { return (c >= '0' && c <= '9') || c == '.' || c == '-'; }
std::string_view TrimTrailingZeros(std::string_view text) { return text; }  // TODO

}  // namespace omvo::tracks
