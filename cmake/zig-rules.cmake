# Read after CMake's platform rules (cmake/zig.cmake names it): zig's Mach-O linker
# makes libraries, not bundles, and Python loads either as an extension module.
if(APPLE)
    set(CMAKE_SHARED_MODULE_CREATE_CXX_FLAGS "-shared")
endif()
