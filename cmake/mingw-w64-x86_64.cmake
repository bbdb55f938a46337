# Cross build for 64-bit Windows with Debian's mingw-w64. The -posix compilers are the ones
# whose libstdc++ has std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(RILO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${RILO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RILO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${RILO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${RILO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything from the compiler's own runtime is linked in (libstdc++, libgcc, winpthread), so
# the programs need nothing but the DLLs every Windows has.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests and benchmarks run under Wine on the build machine.
find_program(RILO_WINE wine64 wine PATHS /usr/lib/wine)
if(RILO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${RILO_WINE})
endif()
