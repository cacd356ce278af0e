# CLI11, the header-only argument parser (Debian: libcli11-dev), as the target
# CLI11::CLI11.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(CLI11 CONFIG REQUIRED)
else()
  # The package's config points at the build machine's /usr/include, which a
  # cross compiler must not search (it would find the build machine's C
  # library headers). Its headers are plain C++, so the cross build gets a
  # folder that holds only them.
  find_path(KDB2MID_CLI11_HEADERS CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
            NO_DEFAULT_PATH REQUIRED)
  set(_cli11_dir ${CMAKE_BINARY_DIR}/cli11-include)
  file(MAKE_DIRECTORY ${_cli11_dir})
  file(CREATE_LINK ${KDB2MID_CLI11_HEADERS}/CLI ${_cli11_dir}/CLI SYMBOLIC)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_cli11_dir})
endif()
