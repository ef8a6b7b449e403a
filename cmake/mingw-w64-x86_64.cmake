# Cross-builds the tool for 64-bit Windows with MinGW-w64 (Debian's g++-mingw-w64-x86-64-posix)
# and runs what the build and the tests start (test discovery, unit tests, end-to-end tests)
# under Wine.
#
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# The "posix" thread model gives std::thread and std::mutex; "-static" links the C++ runtime,
# libgcc and winpthreads into the executable, so one .exe runs on any Windows without DLLs.
#
# Wine runs with its own prefix and a Russian locale, so that the ANSI code page is 1251 and
# the OEM code page 866, as on a Russian Windows. tools/test-windows.sh prepares both:
#   OMVO_WINE_PREFIX   the Wine prefix (default: <build>/wine/prefix)
#   OMVO_WINE_LOCPATH  a folder holding the ru_RU.UTF-8 locale made by localedef, for a
#                      machine that has not generated it (default: <build>/wine/locale)
#
# Start a persistent wineserver and boot the prefix before building (test discovery runs the
# unit test program) and testing, as tools/test-windows.sh does: otherwise the first Windows
# program starts Wine's services, which inherit its output pipes and keep them open, and
# whatever waits for that output (test discovery, ctest, the end-to-end tests) hangs.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(OMVO_MINGW_TARGET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${OMVO_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${OMVO_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${OMVO_MINGW_TARGET}-windres)
set(CMAKE_AR ${OMVO_MINGW_TARGET}-gcc-ar-posix CACHE FILEPATH "Archiver")
set(CMAKE_RANLIB ${OMVO_MINGW_TARGET}-gcc-ranlib-posix CACHE FILEPATH "Archive indexer")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Headers, libraries and packages of the target only; programs of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${OMVO_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(OMVO_WINE_PREFIX "${CMAKE_BINARY_DIR}/wine/prefix" CACHE PATH "Wine prefix for running built programs")
set(OMVO_WINE_LOCPATH "${CMAKE_BINARY_DIR}/wine/locale" CACHE PATH "Folder with the ru_RU.UTF-8 locale for Wine")
# wine64 itself, not the wine wrapper script, which adds hints on standard error.
set(CMAKE_CROSSCOMPILING_EMULATOR
    /usr/bin/env
    WINEPREFIX=${OMVO_WINE_PREFIX}
    WINEDEBUG=-all
    WINEDLLOVERRIDES=mscoree,mshtml=
    LOCPATH=${OMVO_WINE_LOCPATH}
    LANG=ru_RU.UTF-8
    LC_ALL=ru_RU.UTF-8
    /usr/lib/wine/wine64)
