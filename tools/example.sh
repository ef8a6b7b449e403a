#!/usr/bin/env bash
# Builds the tool and runs it on the bundled example club archive with its two overlay
# files, then draws the three documents as one SVG map.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build --target omvo-covering
# Overlay files name their coordinates source files relative to the repository root.
build/omvo-covering examples/club/overlays/border.txt examples/club/overlays/ferry.txt
python3 tools/kml_to_svg.py build/example-output build/example-output/map.svg
echo
echo "Documents: $(pwd)/build/example-output/omvo-covering.kml (everything),"
echo "           $(pwd)/build/example-output/omvo-covering_klg.kml (home region),"
echo "           $(pwd)/build/example-output/omvo-covering_far.kml (leaving it)."
echo "Map:       $(pwd)/build/example-output/map.svg"
