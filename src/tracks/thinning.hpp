#pragma once
// Thinning a loaded track: by speed, then by single or accumulated turn. Segment starts and
// both ends of the track always survive.

#include "tracks/track_store.hpp"

namespace omvo::tracks {

// SpeedFilter, CompactPoints, CornerFilter, CompactPoints. Warns once on standard error when
// a time text of the track is no valid date and time.
void ThinTrack(TrackStore& store, double minspeed, double mincorner);

// Sets `kept` of every point but the first and the last. True when a time was invalid.
bool SpeedFilter(TrackStore& store, double minspeed);
void CompactPoints(TrackStore& store);
void CornerFilter(TrackStore& store, double mincorner);

}  // namespace omvo::tracks
