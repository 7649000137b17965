# Cross build for 32-bit ARM (armhf) with Debian's multiarch Qt 5, which draws
# through OpenGL ES 2 and EGL: the kind of device the game is made for.
# Use: cmake -S . -B build-armhf -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf.cmake -DTAVRELO_QT=5
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(TAVRELO_TRIPLET arm-linux-gnueabihf)
set(TAVRELO_QEMU qemu-arm)
# GCC notes on every std::vector that its ABI for such arguments changed in
# GCC 7.1: nothing here links code built before that.
set(CMAKE_CXX_FLAGS_INIT -Wno-psabi)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-common.cmake)
