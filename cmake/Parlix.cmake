# Shared build settings and helpers for Parlix modules.

# Warnings for our own targets (never for system headers).
function(parlix_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(PARLIX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

if(PARLIX_SANITIZE OR PARLIX_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(PARLIX_FUZZ)
  # Coverage feedback from every library a fuzz target calls into, shared ones included.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Installed program folder: <root>/Parlix, <root>/Engine, <root>/Email, <root>/Database ...
set(PARLIX_ROOT_ENGINE Engine)
set(PARLIX_ROOT_EMAIL Email)
set(PARLIX_ROOT_DATABASE Database)
# Programs and the libraries they load sit in one folder; find those libraries there.
set(CMAKE_INSTALL_RPATH "$ORIGIN")
set(CMAKE_BUILD_WITH_INSTALL_RPATH OFF)

# parlix_add_library(name [STATIC|SHARED] SOURCES ... [LIBS ...])
function(parlix_add_library name kind)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS;PUBLIC_LIBS" ${ARGN})
  add_library(${name} ${kind} ${A_SOURCES})
  parlix_warnings(${name})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(A_LIBS)
    target_link_libraries(${name} PRIVATE ${A_LIBS})
  endif()
  if(A_PUBLIC_LIBS)
    target_link_libraries(${name} PUBLIC ${A_PUBLIC_LIBS})
  endif()
endfunction()

# parlix_add_test(name SOURCES ... [LIBS ...] [LABELS ...] [ENV ...])
# One GoogleTest executable; each test case becomes one CTest test.
# LABELS: "unit" (fast, fake time; also run under the sanitizers) or
# "integration" (real pty / database / servers).
function(parlix_add_test name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  parlix_warnings(${name})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  if(NOT A_LABELS)
    set(A_LABELS unit)
  endif()
  set(props LABELS "${A_LABELS}" TIMEOUT 300)
  if(A_ENV)
    list(APPEND props ENVIRONMENT "${A_ENV}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 PROPERTIES ${props})
endfunction()

# parlix_add_benchmark(name SOURCES ... [LIBS ...]) -- Google Benchmark program, not a test.
function(parlix_add_benchmark name)
  if(NOT PARLIX_BENCH)
    return()
  endif()
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  parlix_warnings(${name})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${A_LIBS} benchmark::benchmark)
  # Every benchmark program lands in <build>/bench, where scripts/bench.sh finds them.
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()

# parlix_add_fuzzer(name SOURCES ... [LIBS ...] CORPUS dir)
# A libFuzzer target (clang, PARLIX_FUZZ=ON). Two CTest tests: the seed corpus
# replayed, and a bounded fuzzing run (PARLIX_FUZZ_SECONDS, default 30).
set(PARLIX_FUZZ_SECONDS 30 CACHE STRING "Seconds each fuzz target runs in the test suite")
function(parlix_add_fuzzer name)
  if(NOT PARLIX_FUZZ)
    return()
  endif()
  cmake_parse_arguments(A "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  parlix_warnings(${name})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${A_LIBS})
  add_test(NAME ${name}.replay COMMAND ${name} -runs=0 ${A_CORPUS})
  set(work ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
  file(MAKE_DIRECTORY ${work})
  add_test(NAME ${name}.fuzz COMMAND ${name} -max_total_time=${PARLIX_FUZZ_SECONDS} -timeout=5
           -rss_limit_mb=2048 ${work} ${A_CORPUS})
  set_tests_properties(${name}.replay ${name}.fuzz PROPERTIES LABELS fuzz)
endfunction()
