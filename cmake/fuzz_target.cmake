# libFuzzer targets, built once by the build with clang (the native tree may
# use g++), and a CTest case that runs each for a short while.
#
#   cloudwick_fuzz_target(TEST_NAME BINARY_NAME
#     INCLUDE dir SEEDS corpus-dir [DICT file] SECONDS n
#     SOURCES fuzz.cpp more.cpp... [LIBS -lfoo...] [LABELS ...])
#
# Each source is compiled once per folder into an object of its own, however
# many targets of that folder list it, and the objects build in parallel
# (one driver target per folder); each target then only links. All targets
# of one folder share its INCLUDE.
#
# Without clang the case is still listed and skips (exit 77), so the test
# command reports it instead of passing quietly.
find_program(CLOUDWICK_FUZZ_CLANGXX NAMES clang++ clang++-14)
set(CLOUDWICK_FUZZ_RUNNER ${CMAKE_CURRENT_LIST_DIR}/../tools/run_fuzz.sh)
set(CLOUDWICK_FUZZ_SANITIZERS address,undefined)
# Line tables are enough for the sanitizers' stack traces, and much cheaper
# to compile than full debug information.
set(CLOUDWICK_FUZZ_COMPILE_FLAGS -std=c++17 -O1 -gline-tables-only
    -fsanitize=fuzzer-no-link,${CLOUDWICK_FUZZ_SANITIZERS} -fno-sanitize-recover=all)

# The folder's driver target: it builds every fuzz object of the folder, once.
function(_cloudwick_fuzz_objects_target)
  get_property(driver DIRECTORY PROPERTY CLOUDWICK_FUZZ_DRIVER)
  get_property(objects DIRECTORY PROPERTY CLOUDWICK_FUZZ_OBJECTS)
  add_custom_target(${driver} DEPENDS ${objects})
endfunction()

# The object of SOURCE in this folder's fuzz build, made on first use.
function(_cloudwick_fuzz_object out_var source include)
  get_filename_component(source ${source} ABSOLUTE)
  get_filename_component(include ${include} ABSOLUTE)
  file(RELATIVE_PATH rel ${include} ${source})
  string(REPLACE "../" "up/" rel "${rel}")
  set(object ${CMAKE_CURRENT_BINARY_DIR}/fuzz-objects/${rel}.o)
  get_property(made DIRECTORY PROPERTY CLOUDWICK_FUZZ_OBJECTS)
  if(NOT object IN_LIST made)
    get_filename_component(folder ${object} DIRECTORY)
    add_custom_command(OUTPUT ${object}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
      COMMAND ${CLOUDWICK_FUZZ_CLANGXX} ${CLOUDWICK_FUZZ_COMPILE_FLAGS} -I${include}
              -MD -MF ${object}.d -c ${source} -o ${object}
      DEPENDS ${source}
      DEPFILE ${object}.d
      COMMENT "Compiling ${rel} for fuzzing"
      VERBATIM)
    set_property(DIRECTORY APPEND PROPERTY CLOUDWICK_FUZZ_OBJECTS ${object})
  endif()
  set(${out_var} ${object} PARENT_SCOPE)
endfunction()

function(cloudwick_fuzz_target test_name binary_name)
  cmake_parse_arguments(F "" "INCLUDE;SEEDS;DICT;SECONDS" "SOURCES;LIBS;LABELS" ${ARGN})
  set(work ${CMAKE_CURRENT_BINARY_DIR}/fuzz/${binary_name})
  set(binary ${work}/${binary_name}_fuzz)
  set(dict_args)
  if(F_DICT)
    set(dict_args -d ${F_DICT})
  endif()
  if(CLOUDWICK_FUZZ_CLANGXX)
    get_property(driver DIRECTORY PROPERTY CLOUDWICK_FUZZ_DRIVER)
    if(NOT driver)
      file(RELATIVE_PATH here ${CMAKE_BINARY_DIR} ${CMAKE_CURRENT_BINARY_DIR})
      string(MAKE_C_IDENTIFIER "fuzz_objects_${here}" driver)
      set_property(DIRECTORY PROPERTY CLOUDWICK_FUZZ_DRIVER ${driver})
      set_property(DIRECTORY PROPERTY CLOUDWICK_FUZZ_INCLUDE ${F_INCLUDE})
      cmake_language(DEFER CALL _cloudwick_fuzz_objects_target)
    endif()
    # An object is made once per folder: with another INCLUDE it would be
    # compiled against the wrong headers without a word.
    get_property(include DIRECTORY PROPERTY CLOUDWICK_FUZZ_INCLUDE)
    if(NOT include STREQUAL F_INCLUDE)
      message(FATAL_ERROR "fuzz target ${binary_name}: INCLUDE ${F_INCLUDE}, but this folder's fuzz targets use ${include}")
    endif()
    set(objects)
    foreach(source IN LISTS F_SOURCES)
      _cloudwick_fuzz_object(object ${source} ${F_INCLUDE})
      list(APPEND objects ${object})
    endforeach()
    add_custom_command(OUTPUT ${binary}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${work}
      COMMAND ${CLOUDWICK_FUZZ_CLANGXX} -fsanitize=fuzzer,${CLOUDWICK_FUZZ_SANITIZERS}
              -o ${binary} ${objects} ${F_LIBS}
      DEPENDS ${objects}
      COMMENT "Linking fuzz target ${binary_name}"
      VERBATIM)
    add_custom_target(${binary_name}_fuzz ALL DEPENDS ${binary})
    add_dependencies(${binary_name}_fuzz ${driver})
    add_test(NAME ${test_name}
      COMMAND bash ${CLOUDWICK_FUZZ_RUNNER} -w ${work} -t ${F_SECONDS} -c ${F_SEEDS} ${dict_args} ${binary})
  else()
    add_test(NAME ${test_name}
      COMMAND bash -c "echo 'SKIP: no clang++ for the fuzz targets (bash tools/setup.sh installs it)'; exit 77")
  endif()
  # A fuzz run keeps its core busy: both of the core's CTest slots (tools/ctest.sh).
  set_tests_properties(${test_name} PROPERTIES TIMEOUT 300 LABELS "fuzz;${F_LABELS}" SKIP_RETURN_CODE 77
                       PROCESSORS 2)
endfunction()
