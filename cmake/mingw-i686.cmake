# PE32 (i386) cross build with mingw-w64: the deliverable.
set(PRNUNINST_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
