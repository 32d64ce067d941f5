# The stub: a lean Win32 GUI program with its own entry point, msvcrt.dll
# linked dynamically, no C++ runtime. It must fit in SFX_STUB_SIZE bytes and
# is padded to exactly that size, because the appended data starts there.
enable_language(RC)
set(SFX_STUB_SIZE 17408)

add_executable(vornsfx WIN32 ${PORTABLE_SOURCES} ${WIN32_ONLY_SOURCES} res/vornsfx.rc)
set_source_files_properties(res/vornsfx.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/res/vorn.ico;${CMAKE_SOURCE_DIR}/res/vornsfx.manifest")
set_target_properties(vornsfx PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
  OUTPUT_NAME vornsfx.unpadded
  # A change to the layout or its finishing relinks the stub.
  LINK_DEPENDS "${CMAKE_SOURCE_DIR}/cmake/stub.ld;${CMAKE_SOURCE_DIR}/scripts/finish-pe-layout.py;${CMAKE_SOURCE_DIR}/scripts/finish-stub.sh")
target_compile_definitions(vornsfx PRIVATE WIN32_LEAN_AND_MEAN)

# Code generation for size:
# - -mregparm=3: the stub's own functions take their first three arguments
#   in registers, which makes its code markedly smaller. Every system and
#   runtime function keeps its standard convention: the headers declare them
#   all with __cdecl or __stdcall, and those are pinned to stack arguments.
# - Arguments are pushed rather than stored into a preallocated area, which
#   needs stack frames without probes: no function may use 3 KiB of stack or
#   more, so every frame stays inside the guard page below it.
# - Data is aligned only as the ABI asks, not padded for cache lines.
set(STUB_CXX_FLAGS
  -Oz -mregparm=3 -malign-data=abi -fno-exceptions -fno-rtti
  -fno-asynchronous-unwind-tables -fno-unwind-tables -fno-threadsafe-statics
  -fno-ident -fomit-frame-pointer -mpreferred-stack-boundary=2
  -mno-accumulate-outgoing-args -mno-stack-arg-probe -Werror=frame-larger-than=3072
  -Wall -Wextra -Wno-unused-parameter
  -U__cdecl "-D__cdecl=__attribute__((__cdecl__$<COMMA>__regparm__(0)))"
  -U__stdcall "-D__stdcall=__attribute__((__stdcall__$<COMMA>__regparm__(0)))")
target_compile_options(vornsfx PRIVATE "$<$<COMPILE_LANGUAGE:CXX>:${STUB_CXX_FLAGS}>")
# For experiments: cmake -DSTUB_EXTRA_FLAGS="..." adds compile and link flags.
separate_arguments(STUB_EXTRA UNIX_COMMAND "${STUB_EXTRA_FLAGS}")
target_compile_options(vornsfx PRIVATE ${STUB_EXTRA})
target_link_options(vornsfx PRIVATE ${STUB_EXTRA})

target_link_options(vornsfx PRIVATE
  -s -nostartfiles -nostdlib -Wl,--gc-sections -Wl,-e,_WinMainCRTStartup
  -Wl,--dynamicbase -Wl,--nxcompat -Wl,-T,${CMAKE_SOURCE_DIR}/cmake/stub.ld
  -Wl,-Map=${CMAKE_BINARY_DIR}/vornsfx.map)
# The import table is the stub's own (src/imports.cpp): no import library.
target_link_libraries(vornsfx PRIVATE gcc)

# The layers above the decoders keep the import table's address in EBX
# (src/imports.h); the decoders and the progress counters they call do not.
# They are also compiled without the -Oz optimisations that make their code
# longer (none of their loops is one whose speed shows); the decoders keep
# theirs.
set(IMPORT_BASE_SOURCES ${PORTABLE_SOURCES} ${WIN32_ONLY_SOURCES})
list(FILTER IMPORT_BASE_SOURCES EXCLUDE REGEX "^src/decode/|^src/archive/progress.cpp$|^src/imports.cpp$")
set_source_files_properties(${IMPORT_BASE_SOURCES} TARGET_DIRECTORY vornsfx PROPERTIES
  COMPILE_DEFINITIONS STUB_IMPORT_BASE
  COMPILE_OPTIONS "-ffixed-ebx;-fno-tree-dominator-opts;-fno-move-loop-invariants;-fno-jump-tables;-mtune=pentium;-fno-tree-loop-im;-fno-ipa-sra;-fno-shrink-wrap")

add_custom_command(TARGET vornsfx POST_BUILD
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/finish-stub.sh
          $<TARGET_FILE:vornsfx> ${CMAKE_BINARY_DIR}/vornsfx.exe ${SFX_STUB_SIZE}
          ${CMAKE_BINARY_DIR}/vornsfx.map
  VERBATIM)
