# The service's portable core: every byte of every reply, no platform
# headers. One library per folder, each seeing only its own folder and the
# folders of the libraries it links (lower ones): a file that includes a
# higher folder does not compile. tools/check_include_cycles.py holds the
# same arrows. Built natively for the tests and the Linux program, with
# MinGW for the Windows one.
find_package(Threads REQUIRED)

# feed_build_machine_headers(TARGET FOLDER HEADER PACKAGE): for the MinGW
# build, a header-only library of the build machine (FOLDER/HEADER under
# /usr/include, from Debian package PACKAGE) made visible to TARGET alone,
# never the rest of the build machine's /usr/include.
function(feed_build_machine_headers target folder header package)
  string(MAKE_C_IDENTIFIER "FEED_${folder}_INCLUDE" found)
  find_path(${found} ${folder}/${header} PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ${found})
    message(FATAL_ERROR "${folder}/${header} not found (Debian package ${package})")
  endif()
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${folder}-include)
  file(MAKE_DIRECTORY ${dir})
  if(NOT EXISTS ${dir}/${folder})
    file(CREATE_LINK ${${found}}/${folder} ${dir}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} SYSTEM PUBLIC ${dir})
endfunction()

# feed_layer(TARGET FOLDER SOURCES... [BELOW lower-targets...])
function(feed_layer name folder)
  cmake_parse_arguments(L "" "" "BELOW" ${ARGN})
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/feed-layers/${folder})
  file(MAKE_DIRECTORY ${dir})
  if(NOT EXISTS ${dir}/${folder})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${folder} ${dir}/${folder} SYMBOLIC)
  endif()
  list(TRANSFORM L_UNPARSED_ARGUMENTS PREPEND ${folder}/)
  add_library(${name} STATIC ${L_UNPARSED_ARGUMENTS})
  target_include_directories(${name} PUBLIC ${dir})
  target_link_libraries(${name} PUBLIC ${L_BELOW})
endfunction()

feed_layer(cloudwick_feed_model model
  ascii.cpp feed_dates.cpp place_ids.cpp region_codes.cpp trouble_kinds.cpp url_encoding.cpp)
target_link_libraries(cloudwick_feed_model PUBLIC Threads::Threads)

feed_layer(cloudwick_feed_documents documents
  card_text.cpp feed_document.cpp icu_transliterator.cpp place_document.cpp
  sun.cpp weather_units.cpp wmo_codes.cpp zone_rules.cpp
  BELOW cloudwick_feed_model)

feed_layer(cloudwick_feed_upstream upstream
  call_budget.cpp client_group.cpp client_limits.cpp open_meteo_json.cpp
  open_meteo_provider.cpp rate_gate.cpp sample_provider.cpp upstream_gate.cpp
  BELOW cloudwick_feed_documents)

feed_layer(cloudwick_feed_places places
  nominatim_client.cpp nominatim_json.cpp place_finder.cpp search_terms.cpp
  BELOW cloudwick_feed_upstream)

feed_layer(cloudwick_feed_state state
  state_file.cpp state_store.cpp
  BELOW cloudwick_feed_upstream)

feed_layer(cloudwick_feed_http http
  client_address.cpp connection_policy.cpp http_dates.cpp http_reply.cpp
  log_tail.cpp request_log.cpp request_query.cpp request_screen.cpp
  BELOW cloudwick_feed_places)

feed_layer(cloudwick_feed_feed feed
  feed_router.cpp feed_service.cpp source_cache.cpp
  BELOW cloudwick_feed_http cloudwick_feed_state)

feed_layer(cloudwick_feed_config config
  command_line.cpp conf_file.cpp provider_choice.cpp
  BELOW cloudwick_feed_feed)

# The whole core, for the server, the programs and the tests.
add_library(cloudwick_feed_core INTERFACE)
target_link_libraries(cloudwick_feed_core INTERFACE cloudwick_feed_config)

# The platform layer defines SystemLatinAscii and SystemZoneRule (linux/
# system_data.cpp, windows/system_data_win.cpp), the card's code page and the
# state folder's file operations (windows/code_page_win.cpp and
# windows/state_files_win.cpp; on Linux linux/card_code_page_posix.cpp and
# linux/state_files_posix.cpp).

# Tables made at build time from the build machine's ICU and time-zone
# data, for the Windows program, which has neither for sure (and for the
# tests, which check them against the Linux program's sources).
find_program(FEED_PYTHON python3 NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_program(FEED_UCONV uconv NO_CMAKE_FIND_ROOT_PATH)
if(NOT FEED_UCONV)
  message(FATAL_ERROR "uconv not found (Debian package icu-devtools; bash tools/setup.sh installs it)")
endif()
set(gen ${CMAKE_CURRENT_SOURCE_DIR}/gen)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/script_table.inc
  COMMAND ${FEED_PYTHON} ${gen}/script_table.py ${CMAKE_CURRENT_BINARY_DIR}/script_table.inc ${FEED_UCONV}
  DEPENDS ${gen}/script_table.py VERBATIM)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/zone_table.inc
  COMMAND ${FEED_PYTHON} ${gen}/zone_table.py ${CMAKE_CURRENT_BINARY_DIR}/zone_table.inc
  DEPENDS ${gen}/zone_table.py VERBATIM)
add_library(cloudwick_feed_tables STATIC
  documents/script_fallback.cpp documents/zone_table.cpp
  ${CMAKE_CURRENT_BINARY_DIR}/script_table.inc ${CMAKE_CURRENT_BINARY_DIR}/zone_table.inc)
target_include_directories(cloudwick_feed_tables PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
target_link_libraries(cloudwick_feed_tables PUBLIC cloudwick_feed_documents)

if(CMAKE_CROSSCOMPILING)
  # nlohmann-json is header-only and builds with MinGW as it is.
  feed_build_machine_headers(cloudwick_feed_model nlohmann json.hpp nlohmann-json3-dev)
else()
  find_package(nlohmann_json 3 REQUIRED)
  target_link_libraries(cloudwick_feed_model PUBLIC nlohmann_json::nlohmann_json)
endif()
