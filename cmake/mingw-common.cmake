# Shared by both mingw-w64 toolchains. The win32 thread model keeps winpthread out of the link.
set(CMAKE_C_COMPILER   ${ORVIA_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${ORVIA_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER  ${ORVIA_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ORVIA_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test executables run under Wine through this wrapper (CTest prepends it to every test command),
# with the loader of the build's architecture: the 32-bit one for x86, wine64 for x64.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-exec ${ORVIA_WINE_LOADER})
# Every Windows program we build is linked statically: no libstdc++, libgcc or winpthread DLL
# has to be found beside it, on Windows or under Wine.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
