# Cross build for 64-bit ARM with Debian's g++-aarch64-linux-gnu. Programs
# built with it run under qemu-user, with Debian's arm64 libraries (apt's
# multiarch: libc6:arm64, whose character-set modules iconv loads,
# libstdc++6:arm64, zlib and libzstd) in their usual places; ctest and test
# discovery run them that way too.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# Libraries come from Debian's arm64 packages (zlib1g-dev:arm64 and the
# others, installed beside the build machine's own through multiarch): CMake
# looks for them under lib/aarch64-linux-gnu, the compiler's architecture.
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
