# kdb2mid_warnings: an interface target that carries the project's warning set.
add_library(kdb2mid_warnings INTERFACE)
if(MSVC)
  target_compile_options(kdb2mid_warnings INTERFACE /W4)
  if(KDB2MID_WERROR)
    target_compile_options(kdb2mid_warnings INTERFACE /WX)
  endif()
else()
  target_compile_options(kdb2mid_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual
    -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
  if(KDB2MID_WERROR)
    target_compile_options(kdb2mid_warnings INTERFACE -Werror)
  endif()
endif()
