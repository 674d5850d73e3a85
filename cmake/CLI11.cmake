# CLI11, header-only, from Debian's libcli11-dev. A cross build takes a copy of its headers:
# putting the machine's /usr/include on the include path would put the machine's C library
# in front of the target's.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(CLI11 CONFIG REQUIRED)
  return()
endif()

find_path(WEIRLINK_CLI11_INCLUDE_DIR CLI/CLI.hpp PATHS /usr/include
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT WEIRLINK_CLI11_INCLUDE_DIR)
  message(FATAL_ERROR "CLI11's headers were not found: scripts/setup.sh installs libcli11-dev")
endif()
file(COPY ${WEIRLINK_CLI11_INCLUDE_DIR}/CLI DESTINATION ${PROJECT_BINARY_DIR}/third-party/include)
add_library(CLI11::CLI11 INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${PROJECT_BINARY_DIR}/third-party/include)
