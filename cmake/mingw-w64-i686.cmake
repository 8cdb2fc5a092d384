# 32-bit Windows: the build that loads beside the fax product's 32-bit modules.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
