# libFuzzer targets, built once by the build with clang (the native tree may
# use g++), and a CTest case that runs each for a short while.
#
#   cloudwick_fuzz_target(TEST_NAME BINARY_NAME
#     INCLUDE dir SEEDS corpus-dir [DICT file] SECONDS n
#     SOURCES fuzz.cpp more.cpp... [LIBS -lfoo...] [LABELS ...])
#
# Without clang the case is still listed and skips (exit 77), so the test
# command reports it instead of passing quietly.
find_program(CLOUDWICK_FUZZ_CLANGXX NAMES clang++ clang++-14)
set(CLOUDWICK_FUZZ_RUNNER ${CMAKE_CURRENT_LIST_DIR}/../tools/run_fuzz.sh)

function(cloudwick_fuzz_target test_name binary_name)
  cmake_parse_arguments(F "" "INCLUDE;SEEDS;DICT;SECONDS" "SOURCES;LIBS;LABELS" ${ARGN})
  set(work ${CMAKE_CURRENT_BINARY_DIR}/fuzz/${binary_name})
  set(binary ${work}/${binary_name}_fuzz)
  set(dict_args)
  if(F_DICT)
    set(dict_args -d ${F_DICT})
  endif()
  if(CLOUDWICK_FUZZ_CLANGXX)
    add_custom_command(OUTPUT ${binary}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${work}
      COMMAND ${CLOUDWICK_FUZZ_CLANGXX} -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined
              -fno-sanitize-recover=all -I${F_INCLUDE} -MD -MF ${binary}.d -o ${binary} ${F_SOURCES} ${F_LIBS}
      DEPENDS ${F_SOURCES}
      DEPFILE ${binary}.d
      COMMENT "Building fuzz target ${binary_name} with clang"
      VERBATIM)
    add_custom_target(${binary_name}_fuzz ALL DEPENDS ${binary})
    add_test(NAME ${test_name}
      COMMAND bash ${CLOUDWICK_FUZZ_RUNNER} -w ${work} -t ${F_SECONDS} -c ${F_SEEDS} ${dict_args} ${binary})
  else()
    add_test(NAME ${test_name}
      COMMAND bash -c "echo 'SKIP: no clang++ for the fuzz targets (bash tools/setup.sh installs it)'; exit 77")
  endif()
  set_tests_properties(${test_name} PROPERTIES TIMEOUT 300 LABELS "fuzz;${F_LABELS}" SKIP_RETURN_CODE 77)
endfunction()
