# Shared part of the two Windows cross toolchains; the including file sets HASHCALC_MINGW_ARCH.
# The -posix compilers give std::thread and std::mutex, which GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${HASHCALC_MINGW_ARCH})
set(triple ${HASHCALC_MINGW_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test discovery and the tests themselves run the programs under Wine, through a script that
# starts a program again when Wine's loader lost it before it ran. Debian's `wine` command
# runs the 32-bit loader; 64-bit programs need the 64-bit one.
if(HASHCALC_MINGW_ARCH STREQUAL "x86_64")
  find_program(HASHCALC_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
else()
  find_program(HASHCALC_WINE NAMES wine)
endif()
if(HASHCALC_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_CURRENT_LIST_DIR}/../tests/wine/run_under_wine.sh ${HASHCALC_WINE})
endif()

# No MinGW runtime DLL beside the programs: they import only system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
