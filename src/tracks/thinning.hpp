#pragma once
// Thinning a loaded track so a map stays light: points where the rider stood or crawled go
// first, then points where the line runs straight. What is left draws the same shape;
// segment starts and both ends of the track always stay.

#include "tracks/track_store.hpp"

namespace omvo::tracks {

// Both filters, each followed by dropping what it did not keep. One warning names the file
// when a time of the track could not be read.
void ThinTrack(TrackStore& store, double minspeed, double mincorner);

// Sets `kept` of every point but the first and the last. True when a time was invalid.
bool SpeedFilter(TrackStore& store, double minspeed);
void CompactPoints(TrackStore& store);
void CornerFilter(TrackStore& store, double mincorner);

}  // namespace omvo::tracks
