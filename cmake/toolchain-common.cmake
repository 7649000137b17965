# The part of the ARM toolchain files both share: Debian's cross compilers, the
# target's libraries and Qt from the multiarch folders, tests run through qemu.
set(CMAKE_C_COMPILER ${TAVRELO_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${TAVRELO_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${TAVRELO_TRIPLET})

# Headers and libraries of the target come only from the multiarch folders;
# programs (moc, rcc, uic) are the build machine's own.
set(CMAKE_FIND_ROOT_PATH /usr/lib/${TAVRELO_TRIPLET} /usr/lib/${TAVRELO_TRIPLET}/cmake)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(CMAKE_PREFIX_PATH /usr/lib/${TAVRELO_TRIPLET}/cmake)
set(PKG_CONFIG_EXECUTABLE ${TAVRELO_TRIPLET}-pkg-config CACHE FILEPATH "")

# No -L sysroot for qemu: the cross toolchain's own libc there crashes every
# program that starts a thread; the multiarch libc of the target works.
set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVRELO_QEMU})

# Qt 6 finds its host tools (moc) here; Qt 5's multiarch files name them directly.
set(QT_HOST_PATH /usr CACHE PATH "")
