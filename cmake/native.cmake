# Native build: the portable core on Linux, with the Win32 functions it
# calls supplied by tools/host; mksfx (cmake/publisher.cmake), the tests
# and the benches.
option(VORN_SANITIZE "Build with AddressSanitizer and UBSan" OFF)
if(VORN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
endif()
include(cmake/publisher.cmake)
include(cmake/mksfx_windows_test.cmake)

# Decoding speed next to lhasa, encoding next to jLHA and gzip (`make
# bench`); not tests.
add_executable(bench tools/bench/bench.cpp)
target_link_libraries(bench PRIVATE vorn_core)
set_target_properties(bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_executable(encoder-bench tools/bench/encoder_bench.cpp)
target_link_libraries(encoder-bench PRIVATE vorn_core)
set_target_properties(encoder-bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

enable_testing()
find_package(GTest REQUIRED)
file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS tests/unit/*.cpp)
add_executable(unit_tests ${UNIT_TEST_SOURCES} tests/support/test_support.cpp)
target_include_directories(unit_tests PRIVATE tests/support)
target_link_libraries(unit_tests PRIVATE vorn_core GTest::gtest GTest::gtest_main)
target_link_options(unit_tests PRIVATE -Wl,--wrap=malloc)  # the failing allocator of the decoder tests
target_compile_definitions(unit_tests PRIVATE VORN_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data" VORN_MKSFX="$<TARGET_FILE:mksfx>"
  VORN_STUB="${CMAKE_BINARY_DIR}/../win32/vornsfx.exe")
add_dependencies(unit_tests mksfx)
include(GoogleTest)
gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 60)

# The conformance corpora ship compressed; they are unpacked into the build.
set(CORPUS_DIR ${CMAKE_BINARY_DIR}/corpus)
foreach(corpus jlha peer)
  if(NOT EXISTS ${CORPUS_DIR}/${corpus}/MANIFEST.tsv)
    file(ARCHIVE_EXTRACT INPUT ${CMAKE_SOURCE_DIR}/tests/data/${corpus}-corpus.tar.xz DESTINATION ${CORPUS_DIR})
  endif()
endforeach()
# The peer corpus is not the project's own: its license goes with every copy.
configure_file(${CMAKE_SOURCE_DIR}/tests/data/peer-COPYING.md ${CORPUS_DIR}/peer/COPYING.md COPYONLY)
target_compile_definitions(unit_tests PRIVATE VORN_CORPUS_DIR="${CORPUS_DIR}")

# The decoders once more, under AddressSanitizer and UBSan, in both of their
# variants (the stub's size variant and the native speed variant), with the
# decoder tests: damaged and random members must never make a decoder read
# or write outside its tables. They run in `make test` with the others.
file(GLOB DECODE_TEST_SOURCES CONFIGURE_DEPENDS tests/unit/decode_*_test.cpp)
file(GLOB DECODE_SOURCES CONFIGURE_DEPENDS src/decode/*.cpp)
foreach(variant speed size)
  set(target decode_tests_asan_${variant})
  add_executable(${target} ${DECODE_TEST_SOURCES} ${DECODE_SOURCES}
    src/archive/progress.cpp tools/host/win32_host.cpp src/system/posix/local_files.cpp)
  target_include_directories(${target} PRIVATE src tools/host)
  target_compile_options(${target} PRIVATE -O1 -g -fno-omit-frame-pointer
    -fsanitize=address,undefined -fno-sanitize-recover=all)
  target_link_options(${target} PRIVATE -fsanitize=address,undefined -Wl,--wrap=malloc)
  target_compile_definitions(${target} PRIVATE
    VORN_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data" VORN_CORPUS_DIR="${CORPUS_DIR}"
    DECODE_FOR_SPEED=$<IF:$<STREQUAL:${variant},speed>,1,0>)
  target_link_libraries(${target} PRIVATE GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${target} TEST_PREFIX asan_${variant}. DISCOVERY_TIMEOUT 60)
endforeach()
