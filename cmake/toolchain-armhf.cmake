# Cross-build for 32-bit ARM (hard-float) gateways with Debian's cross
# compiler (g++-arm-linux-gnueabihf) against a sysroot of Debian armhf
# packages (scripts/make-sysroot): cmake -DCMAKE_TOOLCHAIN_FILE=<this> -DCMAKE_SYSROOT=<dir>
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(WANVOX_CROSS_TRIPLET arm-linux-gnueabihf)
set(WANVOX_CROSS_QEMU qemu-arm)
set(WANVOX_CROSS_LOADER /lib/ld-linux-armhf.so.3)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
