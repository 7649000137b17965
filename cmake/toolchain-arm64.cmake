# Cross build for 64-bit ARM (arm64) with Debian's multiarch Qt (desktop OpenGL there).
# Use: cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-arm64.cmake -DTAVRELO_QT=6
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(TAVRELO_TRIPLET aarch64-linux-gnu)
set(TAVRELO_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-common.cmake)
