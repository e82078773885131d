# Cross build for 32-bit Windows with Debian's g++-mingw-w64-i686.
# The POSIX thread model of the compiler: std::thread and std::mutex need it. Everything is
# linked statically (libgcc, libstdc++, winpthread), so the executables need only Windows' own
# DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(PARVELA_MINGW_TRIPLE i686-w64-mingw32)

set(CMAKE_C_COMPILER ${PARVELA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PARVELA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PARVELA_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PARVELA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run under wine (wine32 for PE32 programs), in a wine prefix of the build folder.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh ${CMAKE_BINARY_DIR}/wineprefix)
