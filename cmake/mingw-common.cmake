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
# Every Windows program and DLL we build is linked statically: no libstdc++, libgcc or
# winpthread DLL has to be found beside it, on Windows or under Wine (tests/static/check_imports.py
# checks every one of them).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
# Static libraries of link-time-optimised code are archived by the cross compiler's own gcc-ar
# and gcc-ranlib, which hand binutils this compiler's LTO plugin; plain ar and ranlib would
# index the archive only through whatever plugin the host happens to have in its bfd-plugins.
set(CMAKE_AR     /usr/bin/${ORVIA_TRIPLE}-gcc-ar-win32)
set(CMAKE_RANLIB /usr/bin/${ORVIA_TRIPLE}-gcc-ranlib-win32)
