include(GoogleTest)

# suite_test(<name> SOURCES ... [LIBS ...] [LABELS ...])
# One GoogleTest executable; each of its cases is a CTest test of its own, named
# <name>.<Suite>.<Case>, so `ctest -R` selects a case, the cases of one program run in
# parallel, and a time-out names the case. The cases are listed when CTest runs (not at
# build time), so a build never runs a test program. Tests find the shared fixtures through
# SUITE_FIXTURES_DIR (where the folder is missing they skip) and the shared test support
# (platform/testing: "testing/ScratchDir.h", ...) through platform_testing.
function(suite_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} platform_testing GTest::gtest GTest::gtest_main
                                        Threads::Threads)
  target_compile_definitions(${name} PRIVATE SUITE_FIXTURES_DIR="${SUITE_FIXTURES_DIR}"
                                             SUITE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  set(properties TIMEOUT 600)
  if(T_LABELS)
    list(APPEND properties LABELS "${T_LABELS}")
  endif()
  # A JACK server on a busy machine misses periods and drops MIDI: its tests run alone.
  if("jack" IN_LIST T_LABELS)
    list(APPEND properties RUN_SERIAL TRUE)
  endif()
  # Listing the cases starts a sanitized program on a loaded machine: give it time.
  gtest_discover_tests(${name}
    TEST_PREFIX "${name}."
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 300
    PROPERTIES ${properties})
endfunction()

# suite_benchmark(<name> SOURCES ... [LIBS ...])
# A Google Benchmark executable; built by default, run by scripts/bench, never by CTest.
function(suite_benchmark name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark benchmark::benchmark_main Threads::Threads)
  target_compile_definitions(${name} PRIVATE SUITE_FIXTURES_DIR="${SUITE_FIXTURES_DIR}")
  set_property(GLOBAL APPEND PROPERTY SUITE_BENCHMARKS ${name})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/bench")
endfunction()

# suite_folder_library(<target> [DIRS dir...] [LIBS ...] [PRIVATE_LIBS ...] [INCLUDE dir...]
#                      [EXCLUDE regex...])
# A library of every .cpp in the listed folders (default: this folder), plus one test
# program of every tests/*_test.cpp and one benchmark program of every bench/*_bench.cpp
# found in them. Folders stay one library each unless their code depends on each other.
# LIBS are what the public headers need (their users get them too); PRIVATE_LIBS only the
# library's own .cpp files and its tests use (a third-party library no public header names).
function(suite_folder_library target)
  cmake_parse_arguments(L "" "" "DIRS;LIBS;PRIVATE_LIBS;EXCLUDE;INCLUDE" ${ARGN})
  if(NOT L_DIRS)
    set(L_DIRS "${CMAKE_CURRENT_SOURCE_DIR}")
  endif()
  set(sources "")
  set(tests "")
  set(benches "")
  set(fuzzers "")
  foreach(dir ${L_DIRS})
    file(GLOB s CONFIGURE_DEPENDS "${dir}/*.cpp")
    file(GLOB t CONFIGURE_DEPENDS "${dir}/tests/*.cpp")
    file(GLOB b CONFIGURE_DEPENDS "${dir}/bench/*.cpp")
    file(GLOB z CONFIGURE_DEPENDS "${dir}/fuzz/*.cpp")
    list(APPEND sources ${s})
    list(APPEND tests ${t})
    list(APPEND benches ${b})
    list(APPEND fuzzers ${z})
  endforeach()
  foreach(x ${L_EXCLUDE})
    list(FILTER sources EXCLUDE REGEX "${x}")
  endforeach()
  if(NOT sources)
    # A folder still being filled: keep the name linkable for the folders that use it.
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE ${L_LIBS} ${L_PRIVATE_LIBS})
    target_include_directories(${target} INTERFACE ${L_INCLUDE})
    return()
  endif()
  add_library(${target} STATIC ${sources})
  target_link_libraries(${target} PUBLIC ${L_LIBS} Threads::Threads)
  target_link_libraries(${target} PRIVATE ${L_PRIVATE_LIBS})
  target_include_directories(${target} PUBLIC ${L_INCLUDE})
  if(tests)
    suite_test(${target}_test SOURCES ${tests} LIBS ${target} ${L_PRIVATE_LIBS} GTest::gmock)
  endif()
  if(benches)
    suite_benchmark(${target}_bench SOURCES ${benches} LIBS ${target})
  endif()
  foreach(f ${fuzzers})
    get_filename_component(fname "${f}" NAME_WE)
    suite_fuzz(${fname} SOURCES "${f}" LIBS ${target})
  endforeach()
endfunction()

# suite_fuzz(<name> SOURCES ... [LIBS ...])
# A libFuzzer program, built only with SUITE_FUZZ (target group "fuzzers", run by
# scripts/fuzz). Its source defines LLVMFuzzerTestOneInput.
function(suite_fuzz name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT SUITE_FUZZ)
    return()
  endif()
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/fuzz")
  add_dependencies(fuzzers ${name})
endfunction()

# suite_forbid_links(<target> <regex> <reason>)
# Stops the configuration when a library whose name matches <regex> is among what <target>
# and its users link (all the way down): keeps a layer free of what it must not know.
function(suite_forbid_links target regex reason)
  set(seen "")
  set(todo ${target})
  while(todo)
    list(POP_FRONT todo t)
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" t "${t}")
    if(t IN_LIST seen OR t MATCHES "\\$<")
      continue()
    endif()
    list(APPEND seen ${t})
    if(t MATCHES "${regex}")
      message(FATAL_ERROR "${target} links ${t}: ${reason}")
    endif()
    if(TARGET ${t})
      get_target_property(libs ${t} INTERFACE_LINK_LIBRARIES)
      if(libs)
        list(APPEND todo ${libs})
      endif()
    endif()
  endwhile()
endfunction()
