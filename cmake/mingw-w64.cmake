# mingw-w64.cmake: cross-compiles the Windows programs on Linux with the
# 64-bit mingw-w64 compilers of the POSIX thread model (std::thread and
# std::mutex need it), as in: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)
# Named outright: the "-posix" suffix keeps CMake from deriving them from
# the compiler's name, and the build machine's own binutils may not know
# Windows object files.
set(CMAKE_AR ${MINGW_PREFIX}-ar CACHE FILEPATH "archiver")
set(CMAKE_RANLIB ${MINGW_PREFIX}-ranlib CACHE FILEPATH "archive indexer")

# Libraries and headers come from the cross sysroot only, never from the
# build machine; programs (tools run during the build) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
