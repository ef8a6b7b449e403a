#pragma once
// Thinning a loaded track so a map stays light: points where the rider stood or crawled go
// first, then points where the line runs straight. What is left draws the same shape;
// segment starts and both ends of the track always stay.

#include "tracks/track_store.hpp"

namespace omvo::tracks {

// Thins the track: runs both filters, each followed by dropping what it did not keep. Writes
// one warning naming the file when a time of the track could not be read.
void ThinTrack(TrackStore& store, double minspeed, double mincorner);

// Sets `kept` of every point but the first and the last: true when its speed from the point
// before it reaches `minspeed`. Returns true when a time was invalid.
bool SpeedFilter(TrackStore& store, double minspeed);

// Removes the points not kept, but never a segment start; every point left is kept.
void CompactPoints(TrackStore& store);

// Sets `kept` of the inner points by the turns of the track: a turn of `mincorner` or more
// leaves the flag as it is; smaller turns add up, and the point where their sum reaches
// `mincorner` is kept (the sum starts again there and at every corner), the others not.
void CornerFilter(TrackStore& store, double mincorner);

}  // namespace omvo::tracks
