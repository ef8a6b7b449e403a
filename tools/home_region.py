"""The club's home region as the tool has it built in: a longitude-latitude box with eight
small rectangles cut out. The numbers are read from the tool's own table in
src/tracks/home_region.cpp, so the example generator and the map drawing cannot drift from
it."""

import os
import re

_SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "tracks",
                       "home_region.cpp")
_BOX = re.compile(r"\{\s*([-0-9.]+),\s*([-0-9.]+),\s*([-0-9.]+),\s*([-0-9.]+)\s*\}")


def _boxes():
    with open(_SOURCE, encoding="utf-8") as f:
        text = f.read()
    outer = _BOX.search(text[text.index("kOuter"):])
    holes = text[text.index("kHoles"):]
    holes = holes[:holes.index("};")]
    as_floats = lambda m: tuple(float(v) for v in m.groups())  # noqa: E731
    return as_floats(outer), [as_floats(m) for m in _BOX.finditer(holes)]


_OUTER, EXCLUSIONS = _boxes()  # each box: west, east, south, north
HOME_BOX = (_OUTER[2], _OUTER[3], _OUTER[0], _OUTER[1])  # south, north, west, east
assert len(EXCLUSIONS) == 8, "the home region table of the tool changed its shape"


def outside_home(lat, lon):
    """True when the point lies outside the home region (box edges inside, rectangle edges
    not in the rectangles)."""
    south, north, west, east = HOME_BOX
    if lat < south or lat > north or lon < west or lon > east:
        return True
    return any(w < lon < e and s < lat < n for w, e, s, n in EXCLUSIONS)
