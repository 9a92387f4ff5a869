# zvit_add_fuzz_test(NAME name SOURCES files... SEEDS dir [SEED_GLOB pattern]
#                    [INCLUDES dirs...] [DEFINES defs...] [LINK args...] [SECONDS n])
# A CTest test (label "fuzz") that builds the libFuzzer target NAME from the
# given sources with clang (ASan + UBSan) and runs it SECONDS (default 60) on
# a copy of the seed files. Sources are compiled apart from the main build, so
# list every source the target needs; LINK takes linker arguments (libraries).
include_guard(GLOBAL)
find_program(ZVIT_CLANGXX NAMES clang++ clang++-14)

function(zvit_add_fuzz_test)
  cmake_parse_arguments(F "" "NAME;SEEDS;SEED_GLOB;SECONDS" "SOURCES;INCLUDES;DEFINES;LINK" ${ARGN})
  if(NOT ZVIT_CLANGXX)
    message(STATUS "clang++ not found: fuzz test ${F_NAME} left out")
    return()
  endif()
  if(NOT F_SEED_GLOB)
    set(F_SEED_GLOB "*")
  endif()
  if(NOT F_SECONDS)
    set(F_SECONDS 60)
  endif()
  set(args)
  foreach(dir IN LISTS F_INCLUDES)
    list(APPEND args "-I${dir}")
  endforeach()
  foreach(def IN LISTS F_DEFINES)
    list(APPEND args "-D${def}")
  endforeach()
  add_test(NAME ${F_NAME}
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/fuzz/run-fuzz.sh ${F_NAME} ${CMAKE_BINARY_DIR}/fuzz/${F_NAME}
            ${F_SEEDS} ${F_SEED_GLOB} ${F_SECONDS} ${ZVIT_CLANGXX} -- ${args} ${F_SOURCES} ${F_LINK}
    COMMAND_EXPAND_LISTS)
  math(EXPR timeout "${F_SECONDS} + 600")
  set_tests_properties(${F_NAME} PROPERTIES LABELS fuzz TIMEOUT ${timeout} RUN_SERIAL ON)
endfunction()
