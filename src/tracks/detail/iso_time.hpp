#pragma once
// GPX times in every form of xsd:dateTime, as devices and programs write them: with a
// fraction of a second, with "Z", with an offset from UTC or without a zone.

#include <string_view>

#include "tracks/track_store.hpp"

namespace omvo::tracks::detail {

// Reads YYYY-MM-DDThh:mm:ss, an optional '.' and one or more digits, then an optional "Z" or
// +hh:mm / -hh:mm (converted to UTC; a time without a zone is taken as written); blanks and
// tabs around the text are ignored. Returns kind None for a text of any other shape, and
// Invalid for one of this shape that names no valid date, time of day or offset.
PointTime ReadIsoTime(std::string_view text);

}  // namespace omvo::tracks::detail
