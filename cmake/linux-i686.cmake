# 32-bit x86 Linux: the portable code (digests, player, command-line tools) as the 32-bit
# machine sees it, with the compiler flags of the 32-bit Windows program. Debian's i686 cross
# compiler; the libraries (SDL2, Crypto++, GoogleTest) from the :i386 multiarch packages.
# Test discovery and the tests run the programs under qemu-i386, which the kernel of a
# machine without 32-bit support needs; the i386 loader comes from libc6:i386.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/i686-flags.cmake)

find_program(HASHCALC_QEMU_I386 NAMES qemu-i386-static qemu-i386 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${HASHCALC_QEMU_I386})
