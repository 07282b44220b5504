# 32-bit x86 build on a 64-bit Debian host (needs g++-multilib).
# Doubles stay IEEE double: SSE2 arithmetic, never the x87 unit.
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(FIND_LIBRARY_USE_LIB32_PATHS ON)
set(FIND_LIBRARY_USE_LIB64_PATHS OFF)
# Debian's 32-bit zlib (lib32z1-dev) lives in /usr/lib32.
list(APPEND CMAKE_LIBRARY_PATH /usr/lib32)
