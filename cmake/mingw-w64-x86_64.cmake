# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix thread model, which
# std::thread and Qt need). Qt for Windows comes from scripts/build-qt-windows.sh; its prefix is
# passed in as TAVRINEL_QT_WINDOWS (the windows preset does that).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triplet}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triplet})
if(TAVRINEL_QT_WINDOWS)
    list(APPEND CMAKE_FIND_ROOT_PATH ${TAVRINEL_QT_WINDOWS})
    list(APPEND CMAKE_PREFIX_PATH ${TAVRINEL_QT_WINDOWS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Qt's tools (moc, rcc, uic) run on the build machine: Debian's Qt of the same version.
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
# try_compile projects see the Qt prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAVRINEL_QT_WINDOWS)
