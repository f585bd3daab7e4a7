# mirano_check_layer(<target> FORBID <regex>...): <target> builds only when none of its sources,
# nor a project header they include, has a line matching one of the regular expressions. The
# headers of every window system are installed anyway, so the compiler alone would not keep a
# layer free of them: this check runs as part of the build, before the target is compiled.
function(mirano_check_layer target)
  cmake_parse_arguments(ARG "" "" "FORBID" ${ARGN})
  get_target_property(dir ${target} SOURCE_DIR)
  get_target_property(sources ${target} SOURCES)
  set(files)
  foreach(source IN LISTS sources)
    if(source MATCHES "\\.(h|cpp)$")
      cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${dir} NORMALIZE OUTPUT_VARIABLE file)
      list(APPEND files ${file})
    endif()
  endforeach()
  set(config ${CMAKE_CURRENT_BINARY_DIR}/${target}_layer_check.cmake)
  file(CONFIGURE OUTPUT ${config} @ONLY CONTENT
    "set(LAYER [==[${target}]==])\nset(ROOT [==[${PROJECT_SOURCE_DIR}]==])\nset(FILES [==[${files}]==])\nset(FORBID [==[${ARG_FORBID}]==])\n")
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}_layer_check.stamp)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DCONFIG=${config} -DSTAMP=${stamp}
      -P ${PROJECT_SOURCE_DIR}/cmake/CheckLayer.cmake
    DEPENDS ${files} ${config} ${PROJECT_SOURCE_DIR}/cmake/CheckLayer.cmake
    COMMENT "Checking the includes of ${target}"
    VERBATIM)
  add_custom_target(${target}_layer_check DEPENDS ${stamp})
  add_dependencies(${target} ${target}_layer_check)
endfunction()
