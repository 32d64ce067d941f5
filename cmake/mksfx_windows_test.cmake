# Helpers of the test that holds mksfx.exe under 64-bit Wine against mksfx
# on Linux (tests/mksfx-windows): each system's Shift-JIS table as the
# system layer converts names, and on Windows a stand-in for osslsigncode.
# They land in test-tools/, away from mksfx.
add_executable(sjis_table tests/tools/mksfx-windows/sjis_table.cpp)
target_link_libraries(sjis_table PRIVATE vorn_core)
set(TEST_TOOLS sjis_table)
if(WIN32)
  add_executable(osslsigncode tests/tools/mksfx-windows/osslsigncode.cpp)
  list(APPEND TEST_TOOLS osslsigncode)
  foreach(tool ${TEST_TOOLS})
    target_link_options(${tool} PRIVATE -static -s)
  endforeach()
endif()
set_target_properties(${TEST_TOOLS} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test-tools)
