# A build for another Debian architecture on this machine (scripts/cross makes
# it): clang and lld for the target, the target's libraries from a sysroot
# unpacked from Debian's packages, and the target's programs run under
# qemu-user. One compiler for every target, so that no cross package removes
# the multilib one the 32-bit check needs.
# Set KESTRAVA_CROSS_ARCH (i386, arm64) and KESTRAVA_SYSROOT.
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KESTRAVA_CROSS_ARCH KESTRAVA_SYSROOT)
if(KESTRAVA_CROSS_ARCH STREQUAL "i386")
  set(CMAKE_SYSTEM_PROCESSOR i686)
  set(kestrava_triple i686-linux-gnu)
  set(kestrava_multiarch i386-linux-gnu)
  set(kestrava_qemu qemu-i386)
elseif(KESTRAVA_CROSS_ARCH STREQUAL "arm64")
  set(CMAKE_SYSTEM_PROCESSOR aarch64)
  set(kestrava_triple aarch64-linux-gnu)
  set(kestrava_multiarch aarch64-linux-gnu)
  set(kestrava_qemu qemu-aarch64)
else()
  message(FATAL_ERROR "KESTRAVA_CROSS_ARCH is '${KESTRAVA_CROSS_ARCH}', not i386 or arm64")
endif()
if(NOT IS_DIRECTORY "${KESTRAVA_SYSROOT}/usr/include")
  message(FATAL_ERROR "KESTRAVA_SYSROOT '${KESTRAVA_SYSROOT}' holds no unpacked packages (scripts/cross makes it)")
endif()

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSROOT ${KESTRAVA_SYSROOT})
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${kestrava_triple})
set(CMAKE_CXX_COMPILER_TARGET ${kestrava_triple})
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fuse-ld=lld")
# This machine's binutils read only x86 programs.
find_program(CMAKE_STRIP llvm-strip REQUIRED)
find_program(CMAKE_OBJCOPY llvm-objcopy REQUIRED)
find_program(CMAKE_OBJDUMP llvm-objdump REQUIRED)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_DIR} "")
set(ENV{PKG_CONFIG_LIBDIR} "${KESTRAVA_SYSROOT}/usr/lib/${kestrava_multiarch}/pkgconfig:${KESTRAVA_SYSROOT}/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_SYSROOT_DIR} ${KESTRAVA_SYSROOT})

# The target's programs (the data generator at build time among them) run
# under qemu-user with the sysroot's loader and libraries. The library
# folders are named by their real paths: qemu-i386 does not redirect the
# loader's look at a folder (statx) into the sysroot, so it would find none.
find_program(kestrava_qemu_path ${kestrava_qemu} REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${kestrava_qemu_path} -L ${KESTRAVA_SYSROOT} -E
    LD_LIBRARY_PATH=${KESTRAVA_SYSROOT}/lib/${kestrava_multiarch}:${KESTRAVA_SYSROOT}/usr/lib/${kestrava_multiarch})

# The program's package is for the target, not for this machine.
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${KESTRAVA_CROSS_ARCH})
