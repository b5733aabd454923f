# Cross build for 64-bit ARM Linux with Debian's g++-aarch64-linux-gnu; programs built for the
# target (tests, test discovery) run under qemu-aarch64 from Debian's qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(VELMO_AARCH64_SYSROOT /usr/aarch64-linux-gnu)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH ${VELMO_AARCH64_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(VELMO_QEMU_AARCH64 qemu-aarch64)
if(VELMO_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VELMO_QEMU_AARCH64} -L ${VELMO_AARCH64_SYSROOT})
endif()
