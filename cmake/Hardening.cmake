# The usual Debian hardening for ELF builds: stack protector, fortified C
# library calls, read-only relocations bound at start-up, and a
# position-independent executable. None of it touches floating point.
option(PELMORA_HARDENING "Build with stack protector, _FORTIFY_SOURCE, RELRO, BIND_NOW and PIE" ON)
if(PELMORA_HARDENING AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
  include(CheckPIESupported)
  check_pie_supported()
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  # The static libraries are then built with -fPIC, under which GCC assumes any
  # global function may be swapped at load time and stops inlining it: the
  # physics step ran half again as long. Nothing here is a shared library.
  add_compile_options(-fno-semantic-interposition)
  add_compile_options(-fstack-protector-strong)
  # _FORTIFY_SOURCE needs optimisation, and the sanitizers bring their own
  # checked calls; a compiler that defines it already is overridden, not
  # redefined.
  if(NOT PELMORA_SANITIZE)
    add_compile_options("$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
  endif()
  add_link_options(-Wl,-z,relro -Wl,-z,now)
endif()
