# 64-bit Windows with Debian's MinGW-w64 cross-compiler (the POSIX-threads flavour, for
# std::thread), linked statically so that a program is one file that runs as it is.
# TESSARY_WINDOWS_DEPS names the prefix of the libraries built for Windows (tools/windows/deps).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${triplet}-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)

list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TESSARY_WINDOWS_DEPS)
if(NOT TESSARY_WINDOWS_DEPS AND DEFINED ENV{TESSARY_WINDOWS_DEPS})
    set(TESSARY_WINDOWS_DEPS $ENV{TESSARY_WINDOWS_DEPS})
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${triplet} ${TESSARY_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static libraries only: libtiff and its codecs, and the compiler's own runtime.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Programs built here run under Wine: tests, and the test discovery of gtest.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
