# Every folder includes only from its own floor and the floors below it, and Qt stays in the
# three folders of the desktop program. Run as a test: cmake -DSOURCE_DIR=<top> -P this file.
# Names what runs back up, file and line, and fails.

cmake_minimum_required(VERSION 3.25)

# Each folder with the folders it may include from, itself included.
set(below_config config)
set(below_comm config comm)
set(below_device config comm device)
set(below_sim config comm sim)
set(below_cli config comm device cli)
set(below_dialogs config comm device dialogs)
set(below_pages config comm device dialogs pages)
set(below_app config comm device dialogs pages app)
set(qt_folders dialogs pages app)

set(faults "")
foreach(folder config comm device sim cli dialogs pages app)
  file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}
       ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line ${includes})
      if(line MATCHES "#[ \t]*include[ \t]+\"([a-z]+)/")
        if(NOT CMAKE_MATCH_1 IN_LIST below_${folder})
          string(APPEND faults "  ${source}: ${line} (a higher floor)\n")
        endif()
      elseif(line MATCHES "#[ \t]*include[ \t]+<Q" AND NOT folder IN_LIST qt_folders)
        string(APPEND faults "  ${source}: ${line} (Qt below the desktop program)\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  message(FATAL_ERROR "Includes that run back up a floor:\n${faults}")
endif()
