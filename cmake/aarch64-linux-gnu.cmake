# Cross build for 64-bit ARM Linux with Debian's g++-aarch64-linux-gnu; programs built for the
# target (tests, test discovery) run under qemu-aarch64 from Debian's qemu-user.
# VELMO_AARCH64_TARGET_ROOT may name a folder with Debian's arm64 packages unpacked in it (EGL,
# GLES, Mesa, libpng: see scripts/test-aarch64.sh): the GPU path then finds its libraries there,
# and the tests run on that folder's C library and Mesa.
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

set(velmo_runtime_root ${VELMO_AARCH64_SYSROOT})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELMO_AARCH64_TARGET_ROOT)
if(VELMO_AARCH64_TARGET_ROOT)
  set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
  list(APPEND CMAKE_FIND_ROOT_PATH ${VELMO_AARCH64_TARGET_ROOT})
  # The unpacked libraries' own dependencies are not in the linker's default search path.
  foreach(kind EXE SHARED MODULE)
    set(CMAKE_${kind}_LINKER_FLAGS_INIT
      "-Wl,-rpath-link,${VELMO_AARCH64_TARGET_ROOT}/usr/lib/aarch64-linux-gnu -Wl,-rpath-link,${VELMO_AARCH64_TARGET_ROOT}/lib/aarch64-linux-gnu")
  endforeach()
  set(velmo_runtime_root ${VELMO_AARCH64_TARGET_ROOT})
endif()

find_program(VELMO_QEMU_AARCH64 qemu-aarch64)
if(VELMO_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VELMO_QEMU_AARCH64} -L ${velmo_runtime_root})
endif()
