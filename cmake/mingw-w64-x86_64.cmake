# Cross build of the Qt-free libraries for 64-bit Windows; the test programs
# run under Wine through the cross-compiling emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZJ_MINGW_PREFIX x86_64-w64-mingw32)
# The posix thread model gives std::thread and std::mutex, which GoogleTest uses.
set(CMAKE_C_COMPILER ${ZJ_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZJ_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZJ_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZJ_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything linked in statically, so Wine needs no runtime DLLs beside the tests.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The wine64 loader itself, not the wrapper script, which warns about a missing
# 32-bit Wine on every start.
find_program(ZJ_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine NO_DEFAULT_PATH)
if(NOT ZJ_WINE64)
  find_program(ZJ_WINE64 NAMES wine64 wine)
endif()
if(ZJ_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZJ_WINE64})
endif()
