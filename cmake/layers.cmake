# One static library per layer. A layer's headers are reached as
# "<folder>/<name>.h" through a folder of links made for that layer alone, so a
# source sees only the headers of the layers its target links: the layer
# arrows are compiler facts, not a convention.
function(pellamont_layer target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;PUBLIC;PRIVATE")
  add_library(${target} STATIC ${arg_SOURCES})
  set(root "${CMAKE_BINARY_DIR}/layers/${target}")
  file(REMOVE_RECURSE "${root}")
  foreach(source ${arg_SOURCES})
    if(source MATCHES "\\.h$")
      cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}"
                 OUTPUT_VARIABLE absolute)
      cmake_path(RELATIVE_PATH absolute BASE_DIRECTORY "${PROJECT_SOURCE_DIR}"
                 OUTPUT_VARIABLE relative)
      cmake_path(GET relative PARENT_PATH folder)
      file(MAKE_DIRECTORY "${root}/${folder}")
      file(CREATE_LINK "${absolute}" "${root}/${relative}" SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(${target} PUBLIC "${root}")
  target_link_libraries(${target} PUBLIC pellamont_common ${arg_PUBLIC} PRIVATE ${arg_PRIVATE})
endfunction()
