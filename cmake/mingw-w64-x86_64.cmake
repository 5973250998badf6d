# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64-posix).
# The posix thread model compilers give std::thread and std::mutex; the programs are linked
# statically so that they run under wine (or on a bare Windows PC) without DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VEXILO_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VEXILO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VEXILO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VEXILO_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VEXILO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs (and gtest_discover_tests) run under wine64 in a wine prefix inside the build
# folder, never the user's own ~/.wine. Without a display wine runs console programs all the
# same; Mono and Gecko are not offered. The locale makes it a US-English Windows, whose ANSI
# code page (1252) is the program's own; under another one the registry's ANSI calls would
# change non-ASCII folder names. scripts/windows-check.sh uses the same settings. Debian keeps
# wine64 out of PATH.
find_program(VEXILO_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine /opt/wine-stable/bin)
if(VEXILO_WINE64 AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      env WINEPREFIX=${CMAKE_BINARY_DIR}/wine WINEARCH=win64 WINEDEBUG=-all
      WINEDLLOVERRIDES=mscoree,mshtml= DISPLAY= LC_ALL=en_US.UTF-8 ${VEXILO_WINE64})
endif()
