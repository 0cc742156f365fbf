# Cross-compilation to 64-bit Windows with Debian's mingw-w64 (posix threads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Libraries built for mingw by scripts/build-libpng-mingw.sh (libpng) live in their own
# prefix; Debian's mingw packages (zlib) live in /usr/x86_64-w64-mingw32.
if(DEFINED ENV{VELMO_MINGW_PREFIX})
  set(VELMO_MINGW_PREFIX "$ENV{VELMO_MINGW_PREFIX}")
else()
  set(VELMO_MINGW_PREFIX /opt/velmo-mingw)
endif()
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${VELMO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs link statically and must import system DLLs only: take libz.a, not the
# import library of zlib1.dll that Debian also ships.
set(ZLIB_USE_STATIC_LIBS ON)
