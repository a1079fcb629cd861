# Cross-compiles for 64-bit Windows with Debian's mingw-w64 toolchain, POSIX threads
# flavour (std::thread over winpthread). `make windows` configures build-windows/ with it;
# tools/install_windows_toolchain.sh installs the compilers when they are missing.
#
# The program is linked statically, C++ and threading runtimes included, so that it
# needs nothing but the DLLs every Windows has (KERNEL32, msvcrt) and can be copied to a
# tournament machine alone. The debugging sections the runtime libraries bring along are
# stripped (-s).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZERIN_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZERIN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZERIN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZERIN_MINGW_TRIPLE}-windres)

# Headers and libraries come from the cross toolchain only; programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ZERIN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -s")

# The build runs the instrumented engine under Wine for its profile (ZerinOptimization.cmake).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine_run.sh)
