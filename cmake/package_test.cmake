# The Windows download (tools/package.sh) built into the test tree and checked.
set(PACKAGE_WINDOWS_DIR "" CACHE PATH "Windows build folder to package (default: beside CLOUDWICK_EXE)")
set(package_win "${PACKAGE_WINDOWS_DIR}")
if(NOT package_win AND CLOUDWICK_EXE)
  get_filename_component(package_win "${CLOUDWICK_EXE}" DIRECTORY)
endif()
cloudwick_python_test(NAME package.win32_zip
         COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tools/check_package.py "${package_win}" ${CMAKE_BINARY_DIR}/dist)
set_tests_properties(package.win32_zip PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120 LABELS quick)
