# The Python tests' one import root: the repository's root, so that a test
# says where what it imports comes from (`from tests.support import
# harness`). This is the one place that puts it on PYTHONPATH.
get_filename_component(CLOUDWICK_PYTHON_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

#   cloudwick_python_test(NAME name COMMAND python script [args...] [ENVIRONMENT VAR=value...])
#
# add_test with PYTHONPATH set to the root. The test's own environment goes
# in ENVIRONMENT here: a later ENVIRONMENT property would replace this one.
function(cloudwick_python_test)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "NAME" "COMMAND;ENVIRONMENT")
  if(NOT arg_NAME OR NOT arg_COMMAND OR arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "cloudwick_python_test(NAME name COMMAND ... [ENVIRONMENT ...]): ${ARGV}")
  endif()
  add_test(NAME ${arg_NAME} COMMAND ${arg_COMMAND})
  set(environment "PYTHONPATH=${CLOUDWICK_PYTHON_ROOT}" ${arg_ENVIRONMENT})
  set_tests_properties(${arg_NAME} PROPERTIES ENVIRONMENT "${environment}")
endfunction()
