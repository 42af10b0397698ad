# Shared by the mingw-w64 toolchain files, which set PRNUNINST_MINGW_ARCH first.
# clang drives lld, the linker here that writes the load-configuration
# directory (GNU ld 2.40 leaves it out); the headers, import libraries and
# windres are mingw-w64's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${PRNUNINST_MINGW_ARCH})
set(PRNUNINST_MINGW_TRIPLE ${PRNUNINST_MINGW_ARCH}-w64-mingw32)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET ${PRNUNINST_MINGW_TRIPLE})
set(CMAKE_RC_COMPILER ${PRNUNINST_MINGW_TRIPLE}-windres)
set(CMAKE_EXE_LINKER_FLAGS_INIT -fuse-ld=lld)
set(CMAKE_FIND_ROOT_PATH /usr/${PRNUNINST_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The deliverable links without the C runtime, which the compiler check's
# test program cannot do.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
