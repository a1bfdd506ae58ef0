# 64-bit Windows: the same sources, built so that the Windows tests can run under
# a 64-bit Wine on machines whose kernel cannot start 32-bit Linux programs
# (Wine's 32-bit loader is one of those).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VELA_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
