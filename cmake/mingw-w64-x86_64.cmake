# Cross-builds the Windows screen saver with Debian's mingw-w64 (the posix
# thread model, for std::thread). Use through scripts/build-windows.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PELMORA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PELMORA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PELMORA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${PELMORA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PELMORA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything static, so the saver needs nothing but the system's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# There is no Highway for mingw; the simulation's plain path serves.
set(PELMORA_USE_HIGHWAY OFF CACHE BOOL "Use Google Highway" FORCE)
