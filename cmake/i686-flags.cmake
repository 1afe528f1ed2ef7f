# What every 32-bit x86 build compiles with, Windows and Linux alike; the toolchain files that
# include this one name the compilers.
# SSE2 for floating point: the x87 unit keeps extra precision, and the mixer would round
# differently from the 64-bit builds. Windows calls our routines (thread entry points, window
# and dialog procedures) on a stack aligned to 4 bytes only, while SSE2 data on the stack
# needs 16: -mstackrealign gives every routine that needs it a prologue that aligns its frame.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
