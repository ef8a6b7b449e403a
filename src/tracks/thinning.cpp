#include "tracks/thinning.hpp"

namespace omvo::tracks {

void ThinTrack(TrackStore&, double, double) {}  // TODO
bool SpeedFilter(TrackStore&, double) { return false; }  // TODO
void CompactPoints(TrackStore&) {}  // TODO
void CornerFilter(TrackStore&, double) {}  // TODO

}  // namespace omvo::tracks
