# What `kdb2mid serve` needs at build time: Node.js and npm to bundle the
# pages of web/, cpp-httplib (Debian's libcpp-httplib-dev) to answer
# requests, and libqrencode (libqrencode-dev) for the join address's QR code. Without one of them the command is left out, with a message
# saying which, and the rest of the tool builds as before.
if(NOT KDB2MID_SERVE)
  return()
endif()

find_program(KDB2MID_NODE node)
find_program(KDB2MID_NPM npm)
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(HTTPLIB IMPORTED_TARGET GLOBAL cpp-httplib)
  pkg_check_modules(QRENCODE IMPORTED_TARGET GLOBAL libqrencode)
endif()

set(missing "")
if(NOT KDB2MID_NODE OR NOT KDB2MID_NPM)
  string(APPEND missing " Node.js and npm (Debian packages nodejs npm) bundle its pages;")
endif()
if(NOT HTTPLIB_FOUND)
  string(APPEND missing " cpp-httplib (Debian package libcpp-httplib-dev, and pkg-config) answers"
    " its requests;")
endif()
if(NOT QRENCODE_FOUND)
  string(APPEND missing " libqrencode (Debian package libqrencode-dev) draws the QR code phones"
    " join with;")
endif()
if(missing)
  message(WARNING "kdb2mid serve is left out:${missing} install them and configure again, "
    "or configure with -DKDB2MID_SERVE=OFF to silence this")
  set(KDB2MID_SERVE OFF CACHE BOOL "" FORCE)
  return()
endif()
message(STATUS "serve: pages bundled by ${KDB2MID_NODE}, cpp-httplib ${HTTPLIB_VERSION}, "
  "libqrencode ${QRENCODE_VERSION}")
