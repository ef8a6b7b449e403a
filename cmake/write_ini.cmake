# Writes a settings file for the example club archive, unless a settings file is already
# there: a user's own settings are never overwritten.
#   cmake -DINI=<file> -DARCHIVE=<folder of the archive> -DOUTPUT=<kml folder> -P write_ini.cmake
if(EXISTS "${INI}")
  return()
endif()
file(MAKE_DIRECTORY "${OUTPUT}")
file(WRITE "${INI}"
"; Settings of omvo-covering, written for the bundled example club archive.\r
; A ';' starts a comment. Folder paths end with their '/'.\r
minspeed=3        ; km/h: points reached more slowly are dropped\r
mincorner=12      ; degrees: points where the track turns less are dropped\r
vplistname=${ARCHIVE}/vplist.txt\r
gpxpath=${ARCHIVE}/gpx/\r
kmlpath=${OUTPUT}/\r
isotimes=0        ; 1: speeds also from every ISO 8601 time form (.000Z, +01:00)\r
cutgaps=0         ; 1: a track segment 5 km or more away starts a new line\r
routes=0          ; 1: a file without track points is drawn from its route points\r
")
message(STATUS "Wrote ${INI}")
