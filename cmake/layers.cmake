# The layering, enforced: a file under src/FOLDER may include only headers of
# FOLDER and of the folders whose libraries kdb2mid_FOLDER links (directly or
# through them). kdb2mid_check_layers() runs after every library is defined:
# it writes each folder's allowed folders from the real link graph, and adds a
# build step that scans every source's #include "folder/..." lines
# (cmake/check-layers.cmake) and fails the build on an include that crosses a
# layer, the way a link error would for a missing symbol.

# kdb2mid_* targets that `target` links, transitively, into `out`.
function(_kdb2mid_link_closure target out)
  set(seen "")
  set(pending ${target})
  while(pending)
    list(POP_FRONT pending current)
    if(current IN_LIST seen OR NOT TARGET ${current})
      continue()
    endif()
    list(APPEND seen ${current})
    get_target_property(type ${current} TYPE)
    set(links "")
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct ${current} LINK_LIBRARIES)
      if(direct)
        list(APPEND links ${direct})
      endif()
    endif()
    get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
    if(interface)
      list(APPEND links ${interface})
    endif()
    foreach(link IN LISTS links)
      # $<LINK_ONLY:x> and other wrappers around a target name.
      string(REGEX REPLACE "^\\$<[A-Z_]+:(.*)>$" "\\1" link "${link}")
      if(link MATCHES "^kdb2mid_")
        list(APPEND pending ${link})
      endif()
    endforeach()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# The top folder under src/ that a target's sources live in.
function(_kdb2mid_target_folder target out)
  get_target_property(dir ${target} SOURCE_DIR)
  file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR}/src ${dir})
  string(REGEX REPLACE "/.*" "" folder "${relative}")
  set(${out} ${folder} PARENT_SCOPE)
endfunction()

function(kdb2mid_check_layers)
  get_property(folders DIRECTORY ${PROJECT_SOURCE_DIR}/src PROPERTY SUBDIRECTORIES)
  set(rules "")
  set(sources "")
  foreach(dir IN LISTS folders)
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR}/src ${dir})
    # Every target defined under this folder (and its subfolders) adds what it links.
    set(allowed ${folder})
    set(dirs ${dir})
    while(dirs)
      list(POP_FRONT dirs current)
      get_property(sub DIRECTORY ${current} PROPERTY SUBDIRECTORIES)
      list(APPEND dirs ${sub})
      get_property(targets DIRECTORY ${current} PROPERTY BUILDSYSTEM_TARGETS)
      foreach(target IN LISTS targets)
        if(NOT target MATCHES "^kdb2mid")
          continue()
        endif()
        _kdb2mid_link_closure(${target} closure)
        foreach(linked IN LISTS closure)
          _kdb2mid_target_folder(${linked} linked_folder)
          # Targets defined outside src/ (the warnings' interface) hold no headers.
          if(NOT linked_folder MATCHES "^\\.\\.")
            list(APPEND allowed ${linked_folder})
          endif()
        endforeach()
      endforeach()
    endwhile()
    list(REMOVE_DUPLICATES allowed)
    list(JOIN allowed "," allowed_text)
    string(APPEND rules "${folder}=${allowed_text}\n")
    file(GLOB_RECURSE folder_sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.hpp)
    list(APPEND sources ${folder_sources})
  endforeach()
  set(rules_file ${PROJECT_BINARY_DIR}/layers.txt)
  file(WRITE ${rules_file} "${rules}")
  set(stamp ${PROJECT_BINARY_DIR}/layers.checked)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DRULES=${rules_file} -DSRC=${PROJECT_SOURCE_DIR}/src
            -DSTAMP=${stamp} -P ${PROJECT_SOURCE_DIR}/cmake/check-layers.cmake
    DEPENDS ${sources} ${rules_file} ${PROJECT_SOURCE_DIR}/cmake/check-layers.cmake
    COMMENT "Checking that every #include stays within the libraries its folder links"
    VERBATIM)
  add_custom_target(kdb2mid_layers ALL DEPENDS ${stamp})
endfunction()
