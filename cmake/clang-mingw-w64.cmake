# Cross-build for 64-bit Windows with Clang and LLD against the MinGW-w64 headers and libraries of
# the GCC cross compiler (Debian's clang does not find that compiler's C++ library on its own), so
# that the code is checked by a second compiler. Resources and archives still go through the GNU
# tools of MinGW-w64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(TF_CLANG_TARGET x86_64-w64-windows-gnu)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${TF_CLANG_TARGET})
set(CMAKE_CXX_COMPILER_TARGET ${TF_CLANG_TARGET})
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_AR ${TOOLCHAIN_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${TOOLCHAIN_PREFIX}-ranlib CACHE FILEPATH "")

# The newest GCC cross compiler's library folder, for libstdc++'s headers and archives.
file(GLOB TF_MINGW_GCC_DIRS /usr/lib/gcc/${TOOLCHAIN_PREFIX}/*-posix)
list(SORT TF_MINGW_GCC_DIRS COMPARE NATURAL ORDER DESCENDING)
list(GET TF_MINGW_GCC_DIRS 0 TF_MINGW_GCC_DIR)
# That library keeps its thread-local variables (std::call_once's, behind std::async) in GCC's
# emulated TLS; Clang must address them the same way.
set(CMAKE_C_FLAGS_INIT "-femulated-tls")
set(CMAKE_CXX_FLAGS_INIT "-femulated-tls -isystem ${TF_MINGW_GCC_DIR}/include/c++ -isystem ${TF_MINGW_GCC_DIR}/include/c++/${TOOLCHAIN_PREFIX}")
# GCC's posix driver links winpthreads by itself; the C++ library's threads and the emulated TLS
# need it here (-pthread).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -pthread -L${TF_MINGW_GCC_DIR}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fuse-ld=lld -pthread -L${TF_MINGW_GCC_DIR}")

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
