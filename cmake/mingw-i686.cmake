# 32-bit Windows: the build that ships (installer stub and vela.exe).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VELA_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
