# Cross build for 32-bit ARM panels (armhf: ARMv7, hard float) with Debian's
# cross compiler (g++-arm-linux-gnueabihf) and the armhf multiarch development
# packages (dpkg --add-architecture armhf; scripts/install-deps.sh --armhf).
# scripts/build-armhf.sh uses it:
#   cmake -S . -B build-armhf -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)

# Multiarch: the armhf libraries live beside the host's, not in a sysroot.
# Libraries and packages are searched for in their armhf directories only.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/arm-linux-gnueabihf/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# The test programs run under qemu-user (gtest discovery and ctest), with the
# armhf multiarch C library (libc6:armhf, /lib/ld-linux-armhf.so.3), which the
# armhf packages above bring. No QEMU_LD_PREFIX=/usr/arm-linux-gnueabihf: its
# loader comes from libc6-armhf-cross, which lags libc6:armhf, and the pair
# crashes every program that starts a thread.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm)

# Package architecture for cpack -G DEB (cmake/packaging.cmake).
set(PANTERM_DEB_ARCHITECTURE armhf)
