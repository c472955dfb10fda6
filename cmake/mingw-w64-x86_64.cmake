# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads, for std::thread).
# VELMO_QT_KIT names the unpacked Qt kit; the host's moc, rcc and uic do the code generation.
# VELMO_FFMPEG_KIT names the unpacked FFmpeg and libjpeg-turbo kit, found through its pkg-config files.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
if(VELMO_QT_KIT)
  list(APPEND CMAKE_FIND_ROOT_PATH "${VELMO_QT_KIT}")
  list(APPEND CMAKE_PREFIX_PATH "${VELMO_QT_KIT}")
endif()
if(VELMO_FFMPEG_KIT)
  list(APPEND CMAKE_FIND_ROOT_PATH "${VELMO_FFMPEG_KIT}")
  list(APPEND CMAKE_PREFIX_PATH "${VELMO_FFMPEG_KIT}")
  # The kit's own .pc files only, never the host's.
  set(ENV{PKG_CONFIG_LIBDIR} "${VELMO_FFMPEG_KIT}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")

# Tests and tools run under Wine on the build machine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
