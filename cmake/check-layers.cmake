cmake_minimum_required(VERSION 3.25)
# Fails when a file under src/ includes a header of a folder its library does
# not link. RULES holds one line per folder, "folder=allowed,allowed,..."
# (written by kdb2mid_check_layers from the link graph); SRC is src/; STAMP is
# touched when every include is allowed.
#   cmake -DRULES=layers.txt -DSRC=src -DSTAMP=file -P check-layers.cmake
file(STRINGS ${RULES} rules)
set(known "")
foreach(rule IN LISTS rules)
  string(REGEX MATCH "^([^=]+)=(.*)$" _ "${rule}")
  set(folder ${CMAKE_MATCH_1})
  string(REPLACE "," ";" allowed_${folder} "${CMAKE_MATCH_2}")
  list(APPEND known ${folder})
endforeach()

set(violations "")
foreach(folder IN LISTS known)
  file(GLOB_RECURSE files ${SRC}/${folder}/*.cpp ${SRC}/${folder}/*.hpp)
  foreach(file IN LISTS files)
    file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z_]+/")
    foreach(line IN LISTS includes)
      string(REGEX MATCH "\"([a-z_]+)/[^\"]*\"" _ "${line}")
      set(target_folder ${CMAKE_MATCH_1})
      # Only the project's own folders are layers; anything else is a system path.
      if(NOT target_folder IN_LIST known OR target_folder IN_LIST allowed_${folder})
        continue()
      endif()
      file(RELATIVE_PATH shown ${SRC}/.. ${file})
      list(APPEND violations "${shown} includes ${CMAKE_MATCH_0}, but kdb2mid_${folder} does not link kdb2mid_${target_folder}")
    endforeach()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "Includes that cross the layering (link the library, or move the code):\n  ${text}")
endif()
file(TOUCH ${STAMP})
