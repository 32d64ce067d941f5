# Small Windows programs that the end-to-end tests run under Wine beside the
# stub: a launcher that passes a command line through unchanged, a window
# probe, a registry reader and a shell-link reader. Ordinary programs, not
# size constrained; they land in build/win32/e2e/.
set(E2E_TOOLS launch winprobe regread lnkread)
foreach(tool ${E2E_TOOLS})
  add_executable(${tool} tests/tools/wine/${tool}.cpp)
  set_target_properties(${tool} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/e2e)
  target_compile_options(${tool} PRIVATE -O2 -Wall -Wextra -Wno-unused-parameter)
  target_link_options(${tool} PRIVATE -s -static-libgcc -static-libstdc++ -mconsole)
  target_link_libraries(${tool} PRIVATE shell32)
endforeach()
target_link_libraries(lnkread PRIVATE ole32 uuid)

# The post-install program of the shortcut test: reports what it finds when
# the installer starts it (a GUI program, as a publisher's would be).
add_executable(install_probe WIN32 tests/tools/wine/install_probe.c)
set_target_properties(install_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/e2e)
target_compile_options(install_probe PRIVATE -O2)
target_link_options(install_probe PRIVATE -s)
target_link_libraries(install_probe PRIVATE shell32 advapi32)

# The planted-DLL test: the DLL it puts beside an installer as uxtheme.dll,
# and the program that loads it there as a careless one would.
add_library(planted_dll SHARED tests/tools/wine/planted_dll.cpp)
set_target_properties(planted_dll PROPERTIES PREFIX "" OUTPUT_NAME uxtheme
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/e2e/planted)
target_link_options(planted_dll PRIVATE -s -static-libgcc)
add_executable(load_dll tests/tools/wine/load_dll.c)
set_target_properties(load_dll PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/e2e/planted)
target_compile_options(load_dll PRIVATE -O2 -Wall -Wextra)
target_link_options(load_dll PRIVATE -s -mconsole)
