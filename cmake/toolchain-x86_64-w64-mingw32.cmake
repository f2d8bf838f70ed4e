# 64-bit Windows build: the same sources as the shipping build, run under wine64 for tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(ORVIA_TRIPLE x86_64-w64-mingw32)
set(ORVIA_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
