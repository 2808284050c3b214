# The fuzz targets of tests/fuzz, built with clang as an external project in
# <build>/fuzz, and one test per target that replays its committed seed
# corpus (tests/fuzz/corpus/<target>) under ASan and UBSan. Skipped with a
# note when clang or its libFuzzer runtime is missing.
option(TQX_FUZZ "Build the fuzz targets with clang and replay their seed corpus as tests" ON)
if(NOT TQX_FUZZ)
  return()
endif()
find_program(TQX_CLANGXX NAMES clang++-14 clang++)
if(TQX_CLANGXX)
  execute_process(COMMAND ${TQX_CLANGXX} -print-runtime-dir OUTPUT_VARIABLE TQX_CLANG_RT OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
if(NOT TQX_CLANGXX OR NOT EXISTS "${TQX_CLANG_RT}/libclang_rt.fuzzer-x86_64.a")
  message(STATUS "clang++ with libFuzzer not found (scripts/install-deps adds it): fuzz corpus replay skipped")
  return()
endif()

include(ExternalProject)
ExternalProject_Add(tqxfuzz
  SOURCE_DIR ${CMAKE_CURRENT_SOURCE_DIR}/fuzz
  BINARY_DIR ${CMAKE_BINARY_DIR}/fuzz
  CMAKE_ARGS -DCMAKE_CXX_COMPILER=${TQX_CLANGXX} -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}
             -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_PREFIX_PATH=${CMAKE_PREFIX_PATH}
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON)

file(GLOB TQX_FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/fuzz_*.cpp)
foreach(src IN LISTS TQX_FUZZ_SOURCES)
  get_filename_component(name ${src} NAME_WE)
  string(REPLACE "fuzz_" "" target ${name})
  # -runs=0: execute every seed once, then stop; any sanitizer report fails the test, and so does one
  # allocation above 256 MiB (a buffer sized after a number the input claims).
  add_test(NAME ${name} COMMAND ${CMAKE_BINARY_DIR}/fuzz/${name} -runs=0 -malloc_limit_mb=256
    ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus/${target})
  set_tests_properties(${name} PROPERTIES TIMEOUT 120
    ENVIRONMENT "ASAN_OPTIONS=abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endforeach()
