# Libraries that are only headers. The machine's own build takes Debian's package through its
# CMake config; where no package is installed (a Windows machine), the folder given as
# <variable>, the one that holds <header>. A cross build takes a copy of the headers alone:
# putting the machine's /usr/include on the include path would put the machine's C library in
# front of the target's.
function(weirlink_header_only package target header variable debian)
  if(NOT CMAKE_CROSSCOMPILING)
    find_package(${package} CONFIG QUIET)
    if(${package}_FOUND)
      return()
    endif()
  endif()
  find_path(${variable} ${header} PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ${variable})
    message(FATAL_ERROR "${package}'s headers were not found: scripts/setup.sh installs ${debian}; "
                        "elsewhere give -D${variable}=<the folder of ${header}>")
  endif()
  set(include_dir ${${variable}})
  if(CMAKE_CROSSCOMPILING)
    set(include_dir ${PROJECT_BINARY_DIR}/third-party/include)
    get_filename_component(top ${header} DIRECTORY)
    file(COPY ${${variable}}/${top} DESTINATION ${include_dir})
  endif()
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${include_dir})
endfunction()
