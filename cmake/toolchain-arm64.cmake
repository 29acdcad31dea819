# Cross-build for 64-bit ARM gateways with Debian's cross compiler
# (g++-aarch64-linux-gnu) against a sysroot of Debian arm64 packages
# (scripts/make-sysroot): cmake -DCMAKE_TOOLCHAIN_FILE=<this> -DCMAKE_SYSROOT=<dir>
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(WANVOX_CROSS_TRIPLET aarch64-linux-gnu)
set(WANVOX_CROSS_QEMU qemu-aarch64)
set(WANVOX_CROSS_LOADER /lib/ld-linux-aarch64.so.1)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
