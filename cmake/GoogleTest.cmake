# GoogleTest: the machine's own build links Debian's libgtest-dev; a cross build compiles it
# for the target from Debian's googletest source package, which names its targets as the
# installed package does (GTest::gtest, GTest::gtest_main, GTest::gmock).
if(NOT CMAKE_CROSSCOMPILING)
  find_package(GTest REQUIRED)
  return()
endif()

set(WEIRLINK_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources")
if(NOT EXISTS ${WEIRLINK_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest's sources were not found in ${WEIRLINK_GOOGLETEST_SOURCE}: "
                      "scripts/setup.sh installs Debian's googletest package")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${WEIRLINK_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
