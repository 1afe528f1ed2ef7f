# 32-bit Windows, the program's original target.
set(HASHCALC_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/i686-flags.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
