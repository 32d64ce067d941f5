# The publisher's tool, mksfx, for the system the build is for (Linux, or
# 64-bit Windows as mksfx.exe), and the library beneath it: the portable
# core, the encoder, the system layer (src/system/posix or windows) and the
# host's stand-ins for the Win32 functions that the core calls.
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE Release)
endif()
if(WIN32)
  set(SYSTEM windows)
  # The core reaches Windows through tools/host (platform.h), and file
  # offsets are 64-bit as on Linux.
  add_compile_definitions(VORN_HOST _FILE_OFFSET_BITS=64)
  set(HOST_FILES tools/host/windows_files.cpp)
else()
  set(SYSTEM posix)
endif()

# The publisher's encoder is for the publisher only; the stub never carries it.
file(GLOB ENCODE_SOURCES CONFIGURE_DEPENDS src/encode/*.cpp)
file(GLOB SYSTEM_SOURCES CONFIGURE_DEPENDS src/system/${SYSTEM}/*.cpp)
add_library(vorn_core STATIC ${PORTABLE_SOURCES} ${ENCODE_SOURCES} ${SYSTEM_SOURCES}
  tools/host/win32_host.cpp ${HOST_FILES})
target_include_directories(vorn_core PUBLIC src tools/host)
target_compile_options(vorn_core PRIVATE -Wall -Wextra -Wno-unused-parameter)
find_package(Threads REQUIRED)  # the encoder packs members side by side
target_link_libraries(vorn_core PUBLIC Threads::Threads)
if(WIN32)
  target_link_libraries(vorn_core PUBLIC shell32)  # CommandLineToArgvW
endif()

add_executable(mksfx tools/mksfx/mksfx.cpp tools/mksfx/inspect.cpp tools/mksfx/console.cpp
  tools/mksfx/execution_level.cpp)
target_link_libraries(mksfx PRIVATE vorn_core)
target_compile_definitions(mksfx PRIVATE VORN_VERSION="${PROJECT_VERSION}")
target_compile_options(mksfx PRIVATE -Wall -Wextra -Wno-unused-parameter)
# A release's mksfx runs without this project's build dependencies: the C++
# runtime is linked in (on Windows also MinGW's threads), leaving the C
# library of the system (glibc; msvcrt.dll).
if(WIN32)
  target_link_options(mksfx PRIVATE -static -s)
else()
  target_link_options(mksfx PRIVATE -static-libstdc++ -static-libgcc)
endif()
set_target_properties(mksfx PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
