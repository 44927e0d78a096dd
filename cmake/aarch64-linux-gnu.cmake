# Cross build for 64-bit ARM Linux with Debian's cross compilers, against the arm64 -dev
# packages installed through multiarch (dpkg --add-architecture arm64). Programs run at build
# and test time go through qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(ARK_CROSS_TRIPLE aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${ARK_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${ARK_CROSS_TRIPLE}-g++)
# Multiarch: headers in /usr/include, libraries and CMake packages in /usr/lib/<triple>.
set(CMAKE_LIBRARY_ARCHITECTURE ${ARK_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /lib/x86_64-linux-gnu)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${ARK_CROSS_TRIPLE}/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# The multiarch loader (/lib/ld-linux-aarch64.so.1) finds the arm64 libraries by itself.
find_program(ARK_QEMU qemu-aarch64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ARK_QEMU})
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
