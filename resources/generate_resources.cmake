# Renders the pictures the exe embeds, from the drawings in resources/gen, into
# out_dir. Both builds use it: the Windows build embeds the result, the native
# build tests the very same files.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_program(CLOUDWICK_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(CLOUDWICK_ZOPFLI zopfli REQUIRED)
set(CLOUDWICK_RESOURCES_DIR ${CMAKE_CURRENT_LIST_DIR})

function(cloudwick_generate_resources out_dir outputs_var)
  set(src ${CLOUDWICK_RESOURCES_DIR})
  file(GLOB gen_sources CONFIGURE_DEPENDS ${src}/gen/*.py)
  set(outputs
    ${out_dir}/weather_pictures.rc ${out_dir}/weather_index.bin ${out_dir}/contact_sheet.png
    ${out_dir}/app_icon_group.bin ${out_dir}/app_icon.ico ${out_dir}/app_icon.png
    ${out_dir}/app_icon_108.png ${out_dir}/app_icon_48.png ${out_dir}/app_icon_16.dib ${out_dir}/app_icon_32.dib
    ${out_dir}/app_icon_108.dib ${out_dir}/app_icon_48.dib
    ${out_dir}/options_picture.bmp ${out_dir}/options_picture.png ${out_dir}/options_picture_rle8.bmp
    ${out_dir}/options_background.bmp ${out_dir}/options_background.png)
  # weather_NN.bmp for every picture; weather_NN.png for the first picture of each drawing.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${src}/weather_set.txt)
  file(STRINGS ${src}/weather_set.txt set_lines REGEX "^[0-9]")
  set(drawings "")
  foreach(line ${set_lines})
    string(REGEX MATCH "^([0-9]+)[ \t]+[^ \t]+[ \t]+([^ \t#]+)" _ "${line}")
    set(n ${CMAKE_MATCH_1})
    if(n LESS 10)
      set(n "0${n}")
    endif()
    list(APPEND outputs ${out_dir}/weather_${n}.bmp)
    if(NOT CMAKE_MATCH_2 IN_LIST drawings)
      list(APPEND drawings ${CMAKE_MATCH_2})
      list(APPEND outputs ${out_dir}/weather_${n}.png)
    endif()
  endforeach()
  add_custom_command(
    OUTPUT ${outputs}
    COMMAND ${Python3_EXECUTABLE} -B ${src}/gen/make_resources.py --out ${out_dir} --rsvg ${CLOUDWICK_RSVG_CONVERT} --zopfli ${CLOUDWICK_ZOPFLI}
    DEPENDS ${gen_sources} ${src}/weather_set.txt ${src}/map_outlines.txt ${src}/resource_ids.h
    COMMENT "Drawing the condition pictures, icon, options picture and dialog map"
    VERBATIM)
  set(${outputs_var} ${outputs} PARENT_SCOPE)
endfunction()
