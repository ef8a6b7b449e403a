#!/usr/bin/env bash
# Builds the tool and runs it on the bundled example club archive with its two overlay
# files, with the web page switched on, then draws the three documents as one SVG map.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build --target omvo-covering
# The example's settings file (written by the build) asks for the web page; one written by an
# older build gets the switch.
grep -q '^webpage=' build/omvo-covering.ini ||
  printf 'webpage=1         ; also write the web page omvo-covering.html\r\n' >> build/omvo-covering.ini
# Overlay files name their coordinates source files relative to the repository root.
build/omvo-covering examples/club/overlays/border.txt examples/club/overlays/ferry.txt
python3 tools/kml_to_svg.py build/example-output build/example-output/map.svg
echo
echo "Documents: $(pwd)/build/example-output/omvo-covering.kml (everything),"
echo "           $(pwd)/build/example-output/omvo-covering_klg.kml (home region),"
echo "           $(pwd)/build/example-output/omvo-covering_far.kml (leaving it)."
echo "Map:       $(pwd)/build/example-output/map.svg"
echo "Web page:  file://$(pwd)/build/example-output/omvo-covering.html (open it in a browser)"
