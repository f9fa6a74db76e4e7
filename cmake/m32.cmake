# 32-bit x86 build on a 64-bit Debian host (g++-multilib).
set(CMAKE_SYSTEM_PROCESSOR i686)
# Doubles in SSE2 registers rather than on the x87 stack: each step of the
# weight formula is then computed in double precision, as in the 64-bit build,
# instead of in extended precision that is rounded wherever a register spills.
# 64-bit file offsets (off_t, stat, pread), as the 64-bit build has them: the
# 32-bit tool opens and writes caches and pages beyond 2 GiB.
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse -D_FILE_OFFSET_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse -D_FILE_OFFSET_BITS=64")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
