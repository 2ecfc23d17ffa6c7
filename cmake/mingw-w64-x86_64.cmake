# 64-bit Windows: the same sources, so that every Windows test runs under
# 64-bit Wine on a machine that cannot execute 32-bit x86 code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
