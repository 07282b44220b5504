# 32-bit x86 build on a 64-bit Debian host (needs g++-multilib).
# Doubles stay IEEE double: SSE2 arithmetic, never the x87 unit.
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
# Debian's 32-bit libraries of the 64-bit system (lib32z1-dev) live in lib32/.
set(CMAKE_FIND_LIBRARY_CUSTOM_LIB_SUFFIX 32)
