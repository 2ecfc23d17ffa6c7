# 64-bit Windows: the same sources, so that every Windows test runs under
# 64-bit Wine on a machine that cannot execute 32-bit x86 code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
# The architecture as the program's manifest and NSIS's installer stubs name it.
set(CORVANE_MANIFEST_ARCHITECTURE amd64)
set(CORVANE_NSIS_TARGET amd64-unicode)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
