# The release toolchain: zig's clang with its own libc++ (linked in statically) and
# glibc symbol stubs, so that a wheel built here loads on any Linux with glibc 2.28 or
# newer, on x86-64 or aarch64; it also compiles and links for macOS. The ziglang
# package on PyPI carries it. Two environment variables choose it, so that CMake's
# own compiler checks see them too:
#   MOSSWICK_ZIG         the zig binary
#   MOSSWICK_ZIG_TARGET  zig's target: x86_64-linux-gnu.2.28, aarch64-linux-gnu.2.28,
#                        aarch64-macos, x86_64-macos
set(MOSSWICK_ZIG_TARGET "$ENV{MOSSWICK_ZIG_TARGET}")
if(NOT MOSSWICK_ZIG_TARGET OR NOT EXISTS "$ENV{MOSSWICK_ZIG}")
    message(FATAL_ERROR "cmake/zig.cmake needs MOSSWICK_ZIG (the zig binary) and MOSSWICK_ZIG_TARGET")
endif()

string(REGEX MATCH "^[^-]+" CMAKE_SYSTEM_PROCESSOR "${MOSSWICK_ZIG_TARGET}")
if(MOSSWICK_ZIG_TARGET MATCHES "-macos")
    set(CMAKE_SYSTEM_NAME Darwin)
else()
    set(CMAKE_SYSTEM_NAME Linux)
endif()

set(CMAKE_CXX_COMPILER "$ENV{MOSSWICK_ZIG}")
set(CMAKE_CXX_COMPILER_ARG1 c++)
set(CMAKE_CXX_COMPILER_TARGET "${MOSSWICK_ZIG_TARGET}")
set(CMAKE_USER_MAKE_RULES_OVERRIDE "${CMAKE_CURRENT_LIST_DIR}/zig-rules.cmake")

# A wheel carries no debug information, nor code that nothing reaches.
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-s -Wl,--gc-sections")
