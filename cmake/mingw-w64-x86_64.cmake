# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix):
#
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# The posix flavour of the compiler is the one with std::thread. Programs are linked statically,
# so they run without the compiler's DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KUVRION_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KUVRION_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KUVRION_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KUVRION_MINGW_TRIPLE}-windres)

# Libraries, headers and packages only from the MinGW tree; programs (tools) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KUVRION_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
