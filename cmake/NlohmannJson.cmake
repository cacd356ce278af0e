# nlohmann-json, the header-only JSON library (Debian: nlohmann-json3-dev), as
# the target nlohmann_json::nlohmann_json.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(nlohmann_json 3 QUIET CONFIG)
  if(NOT nlohmann_json_FOUND)
    message(FATAL_ERROR "kdb2mid needs the nlohmann JSON library: install the Debian package "
                        "nlohmann-json3-dev (apt-get install nlohmann-json3-dev)")
  endif()
else()
  # As for CLI11: a cross compiler gets a folder that holds only these headers,
  # not the build machine's whole /usr/include.
  find_path(KDB2MID_JSON_HEADERS nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
            NO_DEFAULT_PATH REQUIRED)
  set(_json_dir ${CMAKE_BINARY_DIR}/json-include)
  file(MAKE_DIRECTORY ${_json_dir})
  file(CREATE_LINK ${KDB2MID_JSON_HEADERS}/nlohmann ${_json_dir}/nlohmann SYMBOLIC)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
                        INTERFACE_INCLUDE_DIRECTORIES ${_json_dir})
endif()
