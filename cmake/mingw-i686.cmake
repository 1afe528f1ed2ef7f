# 32-bit Windows, the program's original target. SSE2 for floating point, so that the mixer
# rounds exactly as on x86_64 (the x87 unit keeps extra precision).
set(HASHCALC_MINGW_ARCH i686)
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
