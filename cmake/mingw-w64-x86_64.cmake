# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (win32 thread model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LAUNCHER_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LAUNCHER_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${LAUNCHER_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${LAUNCHER_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LAUNCHER_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows test programs run under Wine, in the project's own prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)

# Every Windows program and DLL of the project carries its own libgcc, libstdc++ and
# stack-protection support, so it imports nothing but Windows' DLLs (the C
# runtime is Windows' own msvcrt.dll, which has no static form) and runs from
# any directory.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
