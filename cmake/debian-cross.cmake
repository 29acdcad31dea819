# The part of the toolchain files common to every architecture: the caller
# sets WANVOX_CROSS_TRIPLET, WANVOX_CROSS_LOADER (the dynamic loader's path)
# and WANVOX_CROSS_QEMU, and passes CMAKE_SYSROOT.
if(NOT CMAKE_SYSROOT)
  message(FATAL_ERROR "Cross-building needs -DCMAKE_SYSROOT=<dir> (scripts/make-sysroot makes one)")
endif()

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${WANVOX_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${WANVOX_CROSS_TRIPLET}-g++)

# Libraries, headers and CMake packages come from the sysroot only; programs
# that run during the build (the thrift compiler) from the host.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The host's pkg-config reads only the sysroot's .pc files and prefixes the
# paths they give with the sysroot.
set(ENV{PKG_CONFIG_SYSROOT_DIR} ${CMAKE_SYSROOT})
set(ENV{PKG_CONFIG_LIBDIR}
    "${CMAKE_SYSROOT}/usr/lib/${WANVOX_CROSS_TRIPLET}/pkgconfig:${CMAKE_SYSROOT}/usr/lib/pkgconfig:${CMAKE_SYSROOT}/usr/share/pkgconfig")

# Test programs run under qemu-user through the sysroot's dynamic loader,
# which finds their shared libraries in the sysroot. (qemu's -L would also
# show the sysroot as "/" to the program, and libudev resolves device paths
# from "/".)
set(CMAKE_CROSSCOMPILING_EMULATOR ${WANVOX_CROSS_QEMU}
    ${CMAKE_SYSROOT}${WANVOX_CROSS_LOADER} --library-path
    ${CMAKE_SYSROOT}/lib/${WANVOX_CROSS_TRIPLET}:${CMAKE_SYSROOT}/usr/lib/${WANVOX_CROSS_TRIPLET})
