# Cross-builds the 64-bit ARM Linux program with Debian's g++-aarch64-linux-gnu; CTest runs the
# test programs under qemu-aarch64 (qemu-user):
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

find_program(CMAKE_C_COMPILER NAMES aarch64-linux-gnu-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES aarch64-linux-gnu-g++ REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The emulator finds the ARM C and C++ runtimes in the cross toolchain's folder.
find_program(SORTDEMO_QEMU_AARCH64 NAMES qemu-aarch64 qemu-aarch64-static)
if(SORTDEMO_QEMU_AARCH64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${SORTDEMO_QEMU_AARCH64} -L /usr/aarch64-linux-gnu)
endif()
