# Shared part of the MinGW-w64 toolchain files. Programs are linked statically so
# that they run on a bare Windows (and under Wine) without any extra DLL. Tests run
# through Wine: CMAKE_CROSSCOMPILING_EMULATOR makes every add_test line start the
# .exe with scripts/wine-run.sh, which uses the project's own Wine prefix.
set(CMAKE_SYSTEM_NAME Windows)

# The "posix" flavour brings std::thread (through a static winpthreads).
set(CMAKE_C_COMPILER ${VELA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VELA_MINGW_TRIPLE}-windres)
set(CMAKE_RC_FLAGS "-c 65001")

set(CMAKE_FIND_ROOT_PATH /usr/${VELA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
