# CLI11 is only headers. The machine's own build takes Debian's libcli11-dev; where no
# package is installed (a Windows machine), the folder given as WEIRLINK_CLI11_INCLUDE_DIR,
# the one that holds CLI/CLI.hpp. A cross build takes a copy of the headers alone: putting
# the machine's /usr/include on the include path would put the machine's C library in front
# of the target's.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(CLI11 CONFIG QUIET)
  if(CLI11_FOUND)
    return()
  endif()
endif()

find_path(WEIRLINK_CLI11_INCLUDE_DIR CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH)
if(NOT WEIRLINK_CLI11_INCLUDE_DIR)
  message(FATAL_ERROR "CLI11's headers were not found: scripts/setup.sh installs libcli11-dev; "
                      "elsewhere give -DWEIRLINK_CLI11_INCLUDE_DIR=<the folder of CLI/CLI.hpp>")
endif()
set(include_dir ${WEIRLINK_CLI11_INCLUDE_DIR})
if(CMAKE_CROSSCOMPILING)
  set(include_dir ${PROJECT_BINARY_DIR}/third-party/include)
  file(COPY ${WEIRLINK_CLI11_INCLUDE_DIR}/CLI DESTINATION ${include_dir})
endif()
add_library(CLI11::CLI11 INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${include_dir})
