#!/usr/bin/env bash
# Cross-builds the tool and its tests for 64-bit Windows with MinGW-w64 and runs the whole
# test suite (unit tests and end-to-end tests) under Wine, with the code pages of a Russian
# Windows (ANSI 1251, OEM 866), then packs the ZIP for Windows users
# (build-windows/omvo-covering-<version>-win64.zip).
#
#   tools/test-windows.sh [ctest arguments...]
#
# OMVO_WINDOWS_BUILD names the build folder (default: build-windows). The folder keeps
# GoogleTest built for MinGW and the ru_RU.UTF-8 locale between runs; the Wine prefix in it is
# made anew on every run.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$(pwd)
build=${OMVO_WINDOWS_BUILD:-build-windows}
mkdir -p "$build"
build=$(cd "$build" && pwd)
toolchain=$source_dir/cmake/mingw-w64-x86_64.cmake
jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))
started=$SECONDS
step_started=$SECONDS

step() {
  echo "== $1 (after $((SECONDS - started)) s)"
  step_started=$SECONDS
}

# The Linux packages of the ordinary build (cmake, ninja, GoogleTest sources, python3, the
# document checkers), then the cross compiler, Wine and the locale sources.
step "packages"
tools/setup.sh g++-mingw-w64-x86-64-posix wine64 locales

# Wine takes its ANSI and OEM code pages from the locale, and names files in UTF-8 only when
# the C library knows that locale; it is made here, beside the build, rather than system-wide.
locale_dir=$build/wine/locale
if [ ! -f "$locale_dir/ru_RU.UTF-8/LC_CTYPE" ]; then
  step "locale ru_RU.UTF-8"
  mkdir -p "$locale_dir"
  localedef -i ru_RU -f UTF-8 "$locale_dir/ru_RU.UTF-8" ||
    [ -f "$locale_dir/ru_RU.UTF-8/LC_CTYPE" ]
fi

# GoogleTest from the sources that Debian ships, built with the cross compiler.
gtest_dir=$build/googletest
if [ ! -f "$gtest_dir/lib/cmake/GTest/GTestConfig.cmake" ]; then
  step "GoogleTest for MinGW"
  cmake -S /usr/src/googletest -B "$build/googletest-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON -DCMAKE_INSTALL_PREFIX="$gtest_dir" > /dev/null
  cmake --build "$build/googletest-build" -j "$jobs"
  cmake --install "$build/googletest-build" > /dev/null
fi

# A fresh Wine prefix, made once per run; one persistent wineserver serves every program the
# build and the tests start, and is stopped at the end.
step "Wine prefix"
export WINEPREFIX=$build/wine/prefix
wine_env=(env WINEPREFIX="$WINEPREFIX" WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
          LOCPATH="$locale_dir" LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8)
[ -d "$WINEPREFIX" ] && "${wine_env[@]}" /usr/lib/wine/wineserver -k 2> /dev/null || true
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
"${wine_env[@]}" /usr/lib/wine/wineserver -p
stop_wine() {
  "${wine_env[@]}" /usr/lib/wine/wineserver -k 2> /dev/null || true
  "${wine_env[@]}" /usr/lib/wine/wineserver -w 2> /dev/null || true
}
trap stop_wine EXIT
"${wine_env[@]}" /usr/lib/wine/wine64 wineboot --init > "$build/wine/wineboot.log" 2>&1 || {
  cat "$build/wine/wineboot.log"
  exit 1
}

# The end-to-end tests kill the tool at a rename from inside a Wine server of their own, by a
# library preloaded into it: built for this machine.
killing_rename=$build/wine/killing_rename.so
c++ -std=c++20 -O2 -Wall -Wextra -Werror -shared -fPIC -o "$killing_rename" \
  tests/shim/killing_rename.cpp -ldl

step "configure"
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DOMVO_BUILD_BENCH=OFF -DOMVO_WERROR=ON \
  -DGTest_DIR="$gtest_dir/lib/cmake/GTest" -DOMVO_HOST_KILLING_RENAME="$killing_rename" \
  -DOMVO_WINE_PREFIX="$WINEPREFIX" -DOMVO_WINE_LOCPATH="$locale_dir" > /dev/null

step "build"
cmake --build "$build" -j "$jobs"

step "tests"
status=0
ctest --test-dir "$build" --output-on-failure --timeout 300 -j "$jobs" "$@" || status=$?

# The folder a Windows user unzips: the .exe, its settings for the example archive,
# README.txt and the archive.
step "package"
cpack -G ZIP --config "$build/CPackConfig.cmake" -B "$build" > /dev/null
package=$(ls "$build"/omvo-covering-*-win64.zip)
echo "$package"
echo "== done in $((SECONDS - started)) s"
exit $status
