# 32-bit Windows: the shipped build.
set(CMAKE_SYSTEM_PROCESSOR i686)
# The architecture as the program's manifest and NSIS's installer stubs name it.
set(CORVANE_MANIFEST_ARCHITECTURE x86)
set(CORVANE_NSIS_TARGET x86-unicode)
# Its frames unwind through their chain, never through tables, and nothing in
# it throws: the tables GCC would add are a tenth of corvane.exe, unused.
set(CMAKE_CXX_FLAGS_MINSIZEREL_INIT "-fno-asynchronous-unwind-tables")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
