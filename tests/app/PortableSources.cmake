# The desktop program's own folders use Qt and the standard library only, so that they build
# on Windows against Qt's own packages, which this machine cannot try: no POSIX header may
# appear in them. Run as: cmake -DSOURCE_DIR=<top of the sources> -P PortableSources.cmake
set(posix "unistd|fcntl|termios|poll|dirent|signal|pwd|grp|pthread|dlfcn|libgen|glob|pty|utmp")
file(GLOB_RECURSE sources LIST_DIRECTORIES false
     ${SOURCE_DIR}/app/* ${SOURCE_DIR}/pages/* ${SOURCE_DIR}/dialogs/*)
set(found "")
foreach(source ${sources})
  file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*<((${posix})|(sys|arpa|netinet)/[a-z_]+)\\.h>")
  foreach(include ${includes})
    list(APPEND found "${source}: ${include}")
  endforeach()
endforeach()
if(found)
  list(JOIN found "\n" found)
  message(FATAL_ERROR "POSIX headers in the desktop program's folders:\n${found}")
endif()
message(STATUS "The desktop program's folders use no POSIX header.")
