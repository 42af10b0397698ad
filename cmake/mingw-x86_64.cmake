# PE32+ (x86_64) cross build with mingw-w64: the same sources, to run under wine64.
set(PRNUNINST_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
